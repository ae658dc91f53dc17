#include "app/first_start.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "app/app_paths.h"
#include "app/file_dialog.h"
#include "demo/demo_data.h"
#include "storage/database.h"

namespace officerecords::app {

namespace {

const QString k_title = "社区居委会办公记录";
const QString k_filter = "数据库文件 (*.db *.sqlite *.sqlite3);;所有文件 (*)";

QString qs(const std::string& s) { return QString::fromStdString(s); }

void show_failure(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Critical, k_title, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.button(QMessageBox::Ok)->setText("确定");
    box.exec();
}

QString documents_folder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QDir(documents).exists() ? documents : QDir::homePath();
}

// Where the new database goes. Qt's question whether to replace a file
// that is there would be a promise the program does not keep: a new
// database never replaces a file.
QString new_database_file(QWidget* parent) {
    file_dialog dialog(parent, "新建空白数据库", QString(), k_filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setDefaultSuffix("db");
    dialog.selectFile(QDir(documents_folder()).filePath("办公记录.db"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front();
}

}  // namespace

first_start_dialog::first_start_dialog(const QString& note, QWidget* parent) : QDialog(parent) {
    setWindowTitle(k_title);
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(note + "\n请选择要使用的数据库：", this);
    text->setWordWrap(true);
    layout->addWidget(text);
    auto add = [&](const char* caption, const char* tip, choice c) {
        auto* b = new QPushButton(QString::fromUtf8(caption), this);
        b->setToolTip(QString::fromUtf8(tip));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, c] {
            chosen_ = c;
            accept();
        });
        layout->addWidget(b);
        return b;
    };
    demo_ = add("打开演示数据库", "两个社区的演示数据，保存在本用户的数据文件夹中", choice::demo);
    blank_ = add("新建空白数据库…", "选择位置，新建一个没有任何记录的数据库", choice::blank);
    existing_ = add("打开已有数据库…", "选择一个已有的数据库文件", choice::existing);
    auto* cancel = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    cancel->button(QDialogButtonBox::Cancel)->setText("取消");
    connect(cancel, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(cancel);
    setMinimumWidth(360);
}

QPushButton* first_start_dialog::button(choice c) const {
    switch (c) {
        case choice::demo:
            return demo_;
        case choice::blank:
            return blank_;
        case choice::existing:
            return existing_;
    }
    return nullptr;
}

result<QString> demo_database(const clock_source& clock) {
    const QString db = default_database_path();
    if (QFileInfo::exists(db)) return db;
    const QString folder = QFileInfo(db).absolutePath();
    if (!QDir().mkpath(folder)) return status::error("无法创建文件夹 " + folder.toStdString());
    if (status st = create_demo_database(db.toStdString(), clock); !st)
        return status::error("无法创建演示数据库 " + db.toStdString() + "：\n" + st.message());
    return db;
}

QString run_first_start(const clock_source& clock,
                        const std::function<status(const QString&)>& open, const QString& note,
                        QWidget* parent) {
    for (;;) {
        first_start_dialog dialog(note, parent);
        if (dialog.exec() != QDialog::Accepted || !dialog.chosen()) return {};
        QString db;
        switch (*dialog.chosen()) {
            case first_start_dialog::choice::demo: {
                auto made = demo_database(clock);
                if (!made) {
                    show_failure(parent, qs(made.message()));
                    continue;
                }
                db = *made;
                break;
            }
            case first_start_dialog::choice::blank: {
                db = new_database_file(parent);
                if (db.isEmpty()) continue;
                if (status st = create_database(db.toStdString(), clock); !st) {
                    show_failure(parent, "无法新建数据库 " + db + "：\n" + qs(st.message()));
                    continue;
                }
                break;
            }
            case first_start_dialog::choice::existing:
                db = file_dialog::open_file(parent, "打开已有数据库", documents_folder(), k_filter);
                if (db.isEmpty()) continue;
                break;
        }
        if (status st = open(db); !st) {
            show_failure(parent, "无法打开数据库 " + db + "：\n" + qs(st.message()));
            continue;
        }
        return db;
    }
}

}  // namespace officerecords::app
