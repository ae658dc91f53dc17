#include "app/records_behind_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <functional>

#include "app/qt_host.h"
#include "app/register_list_model.h"
#include "catalog/window_catalog.h"
#include "foundation/register_page.h"

namespace officerecords::app {

namespace {

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Enter on a row opens it, as on the frame's list; the dialog's default
// button would take it otherwise.
class row_view final : public QTableView {
public:
    using QTableView::QTableView;
    std::function<void()> on_enter;

protected:
    void keyPressEvent(QKeyEvent* e) override {
        if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && on_enter) {
            on_enter();
            return;
        }
        QTableView::keyPressEvent(e);
    }
};

}  // namespace

records_behind_dialog::records_behind_dialog(qt_host& host, stats_records behind,
                                             const QString& figure, QWidget* parent)
    : QDialog(parent), host_(host), behind_(std::move(behind)) {
    setObjectName("records_behind");
    entry_ = find_window_entry(behind_.window);
    const QString register_caption = entry_ ? qs(entry_->caption) : qs(behind_.window);
    setWindowTitle(register_caption + " — " + figure);
    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(figure, this);
    heading->setObjectName("figure");
    layout->addWidget(heading);
    model_ = new register_list_model(page_.dw_1, this);
    auto* view = new row_view(this);
    view_ = view;
    view_->setObjectName("records");
    view_->setModel(model_);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->verticalHeader()->hide();
    view_->setToolTip("双击或按回车键打开记录");
    layout->addWidget(view_, 1);
    count_ = new QLabel(this);
    count_->setObjectName("count");
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText("关闭");
    buttons->button(QDialogButtonBox::Close)->setAutoDefault(false);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* foot = new QHBoxLayout;
    foot->addWidget(count_, 1);
    foot->addWidget(buttons);
    layout->addLayout(foot);
    view->on_enter = [this] {
        if (view_->currentIndex().isValid()) open_row(view_->currentIndex().row());
    };
    connect(view_, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { open_row(index.row()); });
    resize(900, 480);
}

records_behind_dialog::~records_behind_dialog() {
    if (host_.connected() && host_.sess().guo_tabpg_now == &page_) host_.sess().guo_tabpg_now = nullptr;
}

status records_behind_dialog::load() {
    if (!entry_ || !entry_->list) return status::error("找不到登记簿 " + behind_.window + "！");
    page_.window = std::string(entry_->window);
    const dw_object& list = entry_->list();
    if (status st = page_.dw_1.set_dataobject(list, host_.sqlca()); !st) return st;
    if (page_.dw_1.retrieve(behind_.condition, behind_.params, record_key_column(list)) < 0)
        return status::error(page_.dw_1.last_error());
    model_->relist(false);
    model_->finish_narrowing();
    count_->setText(QString("共 %1 条记录").arg(page_.dw_1.rowcount()));
    for (int c = 0; c < model_->columnCount(); ++c) view_->resizeColumnToContents(c);
    return status::ok();
}

void records_behind_dialog::open_row(int model_row) {
    if (!entry_ || !entry_->form) return;
    const long row = model_->dw_row(model_row);
    if (row < 1) return;
    page_.dw_1.setrow(row);
    // The record window moves along and saves into this list, not the
    // frame's tab; the frame's page is current again afterwards.
    uo_tabpg_datawindow* before = host_.sess().guo_tabpg_now;
    host_.sess().guo_tabpg_now = &page_;
    host_.run_record(*entry_, k_mode_modify, this);
    host_.sess().guo_tabpg_now = before;
    model_->reload();
    count_->setText(QString("共 %1 条记录").arg(page_.dw_1.rowcount()));
}

}  // namespace officerecords::app
