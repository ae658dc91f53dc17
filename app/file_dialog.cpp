#include "app/file_dialog.h"

#include <QAbstractFileIconProvider>
#include <QApplication>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QMimeDatabase>
#include <QStyle>

namespace officerecords::app {

namespace {

// Icons and types from the name: a folder, or a file of its extension.
// The dialog's model asks from a thread of its own, so the icons are made
// once, on the interface's thread, and only handed out.
class icons_by_name final : public QAbstractFileIconProvider {
public:
    icons_by_name()
        : file_(QApplication::style()->standardIcon(QStyle::SP_FileIcon)),
          folder_(QApplication::style()->standardIcon(QStyle::SP_DirIcon)) {}
    QIcon icon(IconType type) const override { return type == File ? file_ : folder_; }
    QIcon icon(const QFileInfo& info) const override { return info.isDir() ? folder_ : file_; }
    QString type(const QFileInfo& info) const override {
        // Qt's catalogue has no Chinese for its own "Folder".
        if (info.isDir()) return QStringLiteral("文件夹");
        return QMimeDatabase().mimeTypeForFile(info, QMimeDatabase::MatchExtension).comment();
    }

private:
    QIcon file_;
    QIcon folder_;
};

// One for the program's life: a dialog's model and its thread may still
// ask while the dialog is taken down.
QAbstractFileIconProvider* shared_icons() {
    static auto* const icons = new icons_by_name;
    return icons;
}

// The dates in the program's own locale: Qt's model writes them in the
// system's, English under LANG=C.
class chinese_dates final : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override {
        auto* files = qobject_cast<QFileSystemModel*>(sourceModel());
        if (!files || role != Qt::DisplayRole || !index.isValid())
            return QIdentityProxyModel::data(index, role);
        const QModelIndex file = mapToSource(index);
        if (index.column() == k_date_column)
            return QLocale().toString(files->lastModified(file), QLocale::ShortFormat);
        return QIdentityProxyModel::data(index, role);
    }

private:
    static constexpr int k_date_column = 3;
};

}  // namespace

file_dialog::file_dialog(QWidget* parent, const QString& title, const QString& directory,
                         const QString& filter)
    : QFileDialog(parent, title, directory, filter) {
    // A desktop's own dialog identifies files by their contents too, out
    // of this program's reach.
    setOption(QFileDialog::DontUseNativeDialog);
    setIconProvider(shared_icons());
    setProxyModel(new chinese_dates(this));
}

QString file_dialog::open_file(QWidget* parent, const QString& title, const QString& directory,
                               const QString& filter) {
    file_dialog dialog(parent, title, directory, filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front();
}

QString file_dialog::save_file(QWidget* parent, const QString& title, const QString& path,
                               const QString& filter, QString* selected_filter) {
    file_dialog dialog(parent, title, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.selectFile(path);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    if (selected_filter) *selected_filter = dialog.selectedNameFilter();
    return dialog.selectedFiles().front();
}

}  // namespace officerecords::app
