#include "app/person_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace officerecords::app {

namespace {

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

struct listed_column {
    const char* name;
    const char* header;
};

constexpr listed_column k_listed[] = {{"personname", "姓名"},    {"sex", "性别"},
                                      {"birthdate", "出生日期"}, {"age", "年龄"},
                                      {"idcard", "身份证号码"},  {"presentaddr1", "居住地址"}};

// Room between the columns' texts, in pixels.
constexpr int k_cell_padding = 16;

QPushButton* make_button(const QString& text, const char* name, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    // Enter belongs to the search field and the list, never to a button.
    b->setAutoDefault(false);
    return b;
}

}  // namespace

QString person_dialog::title_of(std::string_view window) {
    if (iequals(window, "w_select_councilmember")) return "选择居委会成员";
    if (iequals(window, "w_select_councilorgmember")) return "选择组织机构成员";
    return "选择人员";
}

person_dialog::person_dialog(std::string_view window, std::string_view parm, w_modify& caller,
                             QWidget* parent)
    : QDialog(parent), caller_(caller), window_(window) {
    setObjectName(qs(window));
    setWindowTitle(title_of(window));
    auto* layout = new QVBoxLayout(this);

    auto* bar = new QHBoxLayout;
    search_ = new QLineEdit(this);
    search_->setObjectName("search");
    search_->setPlaceholderText("姓名、身份证号码");
    QPushButton* find = make_button("查找", "find", this);
    bar->addWidget(new QLabel("查找:", this));
    bar->addWidget(search_, 1);
    bar->addWidget(find);
    layout->addLayout(bar);

    list_ = new QTableWidget(0, static_cast<int>(std::size(k_listed)), this);
    list_->setObjectName("persons");
    QStringList headers;
    for (const auto& c : k_listed) headers << c.header;
    list_->setHorizontalHeaderLabels(headers);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setAlternatingRowColors(true);
    list_->setWordWrap(false);
    list_->verticalHeader()->hide();
    list_->horizontalHeader()->setStretchLastSection(true);
    list_->horizontalHeader()->setHighlightSections(false);
    layout->addWidget(list_, 1);

    note_ = new QLabel(this);
    note_->setObjectName("note");
    layout->addWidget(note_);

    auto* buttons = new QHBoxLayout;
    pick_ = make_button("选择", "pick", this);
    QPushButton* nobody = make_button("不选择", "nobody", this);
    QPushButton* cancel = make_button("取消", "cancel", this);
    buttons->addStretch(1);
    buttons->addWidget(pick_);
    buttons->addWidget(nobody);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    connect(search_, &QLineEdit::returnPressed, this, [this] { search(search_->text()); });
    connect(find, &QPushButton::clicked, this, [this] { search(search_->text()); });
    // Enter arrives as activation; a double-click as activation on some
    // styles only, and on its release: it picks at once.
    connect(list_, &QTableWidget::activated, this,
            [this](const QModelIndex& index) { pick_row(index.row()); });
    connect(list_, &QTableWidget::doubleClicked, this,
            [this](const QModelIndex& index) { pick_row(index.row()); });
    connect(pick_, &QPushButton::clicked, this, [this] { pick_row(list_->currentRow()); });
    connect(nobody, &QPushButton::clicked, this, &person_dialog::pick_nobody);
    connect(cancel, &QPushButton::clicked, this, &person_dialog::reject);

    selection_ = std::make_unique<person_selection>(window, parm, caller_);
    // The typed text leads the parm; the seal window's column list follows it.
    columns_ = std::string(parm.substr(std::min(parm.size(), selection_->typed().size())));
    search_->setText(qs(selection_->typed()));
    fill_list();
    resize(760, 420);
}

person_dialog::~person_dialog() = default;

void person_dialog::search(const QString& text) {
    selection_ =
        std::make_unique<person_selection>(window_, text.toStdString() + columns_, caller_);
    fill_list();
}

void person_dialog::fill_list() {
    const status found = selection_->search();
    const long n = found ? selection_->count() : 0;
    list_->setRowCount(static_cast<int>(n));
    for (long r = 1; r <= n; ++r)
        for (int c = 0; c < static_cast<int>(std::size(k_listed)); ++c)
            list_->setItem(static_cast<int>(r - 1), c,
                           new QTableWidgetItem(qs(selection_->shown(r, k_listed[c].name))));
    list_->resizeColumnsToContents();
    for (int c = 0; c < list_->columnCount(); ++c)
        list_->setColumnWidth(c, list_->columnWidth(c) + k_cell_padding);
    if (!found)
        note_->setText(qs(found.message()));
    else if (n == 0)
        note_->setText("没有找到与“" + qs(selection_->typed()) + "”相符的人员。");
    else
        note_->setText(QString("找到 %1 人。回车或双击选择。").arg(n));
    pick_->setEnabled(n > 0);
    if (n > 0) {
        list_->setCurrentCell(0, 0);
        list_->setFocus(Qt::OtherFocusReason);
    } else {
        search_->setFocus(Qt::OtherFocusReason);
    }
}

void person_dialog::pick_row(int row) {
    // A double-click may also report an activation after the dialog answered.
    if (row < 0 || row >= list_->rowCount() || result() == QDialog::Accepted) return;
    answer_ = selection_->pick(row + 1);
    accept();
}

void person_dialog::pick_nobody() {
    answer_.clear();
    accept();
}

void person_dialog::reject() {
    answer_ = person_selection::k_abandoned;
    QDialog::reject();
}

}  // namespace officerecords::app
