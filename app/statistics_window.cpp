#include "app/statistics_window.h"

#include <QApplication>
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScrollArea>
#include <QShowEvent>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

#include "app/community_dialog.h"
#include "app/list_output.h"
#include "app/qt_host.h"
#include "app/records_behind_dialog.h"
#include "app/stats_chart.h"
#include "app/stats_report.h"
#include "storage/file_access.h"
#include "storage/server_backend.h"

namespace officerecords::app {

namespace {

constexpr stats_view k_views[] = {stats_view::money, stats_view::assets, stats_view::work,
                                  stats_view::activities, stats_view::committee};
constexpr const char* k_behind_hint = "双击数字，列出它所统计的记录";
// The item data that says which cell of the view's table an item shows.
constexpr int k_row_role = Qt::UserRole + 1;

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::optional<date> to_date(QDate d) { return date::from_ymd(d.year(), d.month(), d.day()); }

QStandardItemModel* model_of(const stats_table& t, QObject* parent) {
    auto* m = new QStandardItemModel(static_cast<int>(t.rows.size()), static_cast<int>(t.header.size()),
                                     parent);
    for (std::size_t c = 0; c < t.header.size(); ++c)
        m->setHeaderData(static_cast<int>(c), Qt::Horizontal, qs(t.header[c]));
    for (std::size_t r = 0; r < t.rows.size(); ++r) {
        const bool total = t.total_row && r + 1 == t.rows.size();
        for (std::size_t c = 0; c < t.rows[r].size() && c < t.header.size(); ++c) {
            const stats_cell& cell = t.rows[r][c];
            auto* item = new QStandardItem(qs(cell.text));
            item->setEditable(false);
            if (static_cast<int>(c) >= t.label_columns)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (total) {
                QFont bold = item->font();
                bold.setBold(true);
                item->setFont(bold);
            }
            if (cell.behind) item->setToolTip(k_behind_hint);
            item->setData(static_cast<int>(r), k_row_role);
            m->setItem(static_cast<int>(r), static_cast<int>(c), item);
        }
    }
    return m;
}

// "收支 2025年第2季度：3月 办公用品": the view, the period, what the row and
// the column name.
QString figure_name(const stats_result& r, const stats_table& t, int row, int column) {
    QStringList row_label;
    const auto& cells = t.rows[static_cast<std::size_t>(row)];
    for (int c = 0; c < t.label_columns && c < static_cast<int>(cells.size()); ++c)
        row_label << qs(cells[static_cast<std::size_t>(c)].text);
    return qs(stats_view_caption(r.view)) + " " + qs(period_text(r.period)) + "：" +
           qs(t.title) + " " + row_label.join(" ") + " " +
           qs(t.header[static_cast<std::size_t>(column)]) + "（" +
           qs(cells[static_cast<std::size_t>(column)].text) + "）";
}

}  // namespace

statistics_window::statistics_window(qt_host& host, QDate today, QWidget* parent)
    : QWidget(parent, Qt::Window), host_(host) {
    setObjectName("statistics");
    setWindowTitle("统计 - " + host_.community_name());
    compute_ = [this](stats_view view, const stats_period& period, const stats_scope& scope) {
        return compute_statistics(host_.sqlca(), view, period, scope);
    };
    auto* layout = new QVBoxLayout(this);
    build_period_bar();
    problem_ = new QLabel(this);
    problem_->setObjectName("problem");
    problem_->setStyleSheet("color: #b00000;");
    problem_->hide();
    layout->addWidget(problem_);
    views_ = new QTabWidget(this);
    views_->setObjectName("views");
    for (stats_view v : k_views) {
        auto* scroll = new QScrollArea(views_);
        scroll->setObjectName(qs(stats_view_name(v)));
        scroll->setWidgetResizable(true);
        scroll->setWidget(new QWidget(scroll));
        views_->addTab(scroll, qs(stats_view_caption(v)));
    }
    layout->addWidget(views_, 1);
    connect(views_, &QTabWidget::currentChanged, this, [this] {
        if (isVisible() && !results_.count(current_view())) (void)refresh();
    });
    year_->setValue(today.year());
    quarter_->setCurrentIndex((today.month() - 1) / 3);
    month_->setCurrentIndex(today.month() - 1);
    from_->setDate(QDate(today.year(), 1, 1));
    to_->setDate(today);
    update_period_fields();
    resize(1180, 760);
}

statistics_window::~statistics_window() = default;

void statistics_window::build_period_bar() {
    auto* bar = new QHBoxLayout;
    static_cast<QVBoxLayout*>(layout())->addLayout(bar);
    bar->addWidget(new QLabel("统计期间:", this));
    kind_ = new QComboBox(this);
    kind_->setObjectName("period_kind");
    kind_->addItems({"年", "季度", "月", "日期范围"});
    bar->addWidget(kind_);
    year_ = new QSpinBox(this);
    year_->setObjectName("year");
    year_->setRange(1949, 9999);
    year_->setSuffix("年");
    bar->addWidget(year_);
    quarter_ = new QComboBox(this);
    quarter_->setObjectName("quarter");
    for (int q = 1; q <= 4; ++q) quarter_->addItem(QString("第%1季度").arg(q));
    bar->addWidget(quarter_);
    month_ = new QComboBox(this);
    month_->setObjectName("month");
    for (int m = 1; m <= 12; ++m) month_->addItem(QString("%1月").arg(m));
    bar->addWidget(month_);
    auto date_edit = [this](const char* name) {
        auto* e = new QDateEdit(this);
        e->setObjectName(name);
        e->setDisplayFormat("yyyy-MM-dd");
        e->setCalendarPopup(true);
        e->setMinimumDate(QDate(1949, 10, 1));
        return e;
    };
    from_ = date_edit("from");
    to_ = date_edit("to");
    to_label_ = new QLabel("至", this);
    bar->addWidget(from_);
    bar->addWidget(to_label_);
    bar->addWidget(to_);
    bar->addSpacing(16);
    bar->addWidget(new QLabel("社区:", this));
    communities_ = new QComboBox(this);
    communities_->setObjectName("communities");
    communities_->addItem(host_.community_name().isEmpty() ? qs(host_.sess().gs_commno)
                                                           : host_.community_name(),
                          false);
    // 全部社区 only where the connection sees more than this one: on a
    // shared server a clerk sees his own, a supervisor every community.
    if (auto all = community_dialog::load(host_.sqlca()); all && all->size() > 1)
        communities_->addItem("全部社区", true);
    bar->addWidget(communities_);
    bar->addStretch(1);
    auto* again = new QPushButton("刷新", this);
    again->setObjectName("refresh");
    auto* print = new QPushButton("打印…", this);
    print->setObjectName("print");
    auto* pdf = new QPushButton("导出PDF…", this);
    pdf->setObjectName("export_pdf");
    auto* xlsx = new QPushButton("导出Excel…", this);
    xlsx->setObjectName("export_xlsx");
    bar->addWidget(again);
    bar->addWidget(print);
    bar->addWidget(pdf);
    bar->addWidget(xlsx);
    connect(again, &QPushButton::clicked, this, [this] {
        results_.clear();
        (void)refresh();
    });
    connect(print, &QPushButton::clicked, this, &statistics_window::print);
    connect(pdf, &QPushButton::clicked, this, [this] { (void)export_pdf(); });
    connect(xlsx, &QPushButton::clicked, this, [this] { (void)export_xlsx(); });
    connect(kind_, &QComboBox::currentIndexChanged, this, [this] {
        update_period_fields();
        choices_changed();
    });
    connect(year_, &QSpinBox::valueChanged, this, &statistics_window::choices_changed);
    connect(quarter_, &QComboBox::currentIndexChanged, this, &statistics_window::choices_changed);
    connect(month_, &QComboBox::currentIndexChanged, this, &statistics_window::choices_changed);
    connect(from_, &QDateEdit::dateChanged, this, &statistics_window::choices_changed);
    connect(to_, &QDateEdit::dateChanged, this, &statistics_window::choices_changed);
    connect(communities_, &QComboBox::currentIndexChanged, this, &statistics_window::choices_changed);
}

void statistics_window::update_period_fields() {
    const auto kind = static_cast<period_kind>(kind_->currentIndex());
    year_->setVisible(kind != period_kind::range);
    quarter_->setVisible(kind == period_kind::quarter);
    month_->setVisible(kind == period_kind::month);
    from_->setVisible(kind == period_kind::range);
    to_label_->setVisible(kind == period_kind::range);
    to_->setVisible(kind == period_kind::range);
}

void statistics_window::choices_changed() {
    if (refreshing_) return;
    results_.clear();
    if (isVisible()) (void)refresh();
}

void statistics_window::set_compute(compute_fn compute) {
    compute_ = std::move(compute);
    results_.clear();
}

void statistics_window::choose_period(period_kind kind, int year, int part) {
    refreshing_ = true;
    kind_->setCurrentIndex(static_cast<int>(kind));
    year_->setValue(year);
    if (kind == period_kind::quarter) quarter_->setCurrentIndex(part - 1);
    if (kind == period_kind::month) month_->setCurrentIndex(part - 1);
    refreshing_ = false;
    update_period_fields();
    choices_changed();
}

void statistics_window::choose_range(QDate from, QDate to) {
    refreshing_ = true;
    kind_->setCurrentIndex(static_cast<int>(period_kind::range));
    from_->setDate(from);
    to_->setDate(to);
    refreshing_ = false;
    update_period_fields();
    choices_changed();
}

std::optional<stats_period> statistics_window::period() const {
    const int year = year_->value();
    switch (static_cast<period_kind>(kind_->currentIndex())) {
        case period_kind::year:
            return year_period(year);
        case period_kind::quarter:
            return quarter_period(year, quarter_->currentIndex() + 1);
        case period_kind::month:
            return month_period(year, month_->currentIndex() + 1);
        case period_kind::range:
            break;
    }
    const auto from = to_date(from_->date());
    const auto to = to_date(to_->date());
    if (!from || !to || *to < *from) return std::nullopt;
    return stats_period{*from, *to};
}

void statistics_window::choose_all_communities(bool all) {
    const int at = communities_->findData(all);
    if (at >= 0) communities_->setCurrentIndex(at);
}

bool statistics_window::all_communities_offered() const { return communities_->findData(true) >= 0; }

stats_scope statistics_window::scope() const {
    if (communities_->currentData().toBool()) return {};
    return {{host_.sess().gs_commno}};
}

void statistics_window::show_view(stats_view view) {
    for (std::size_t i = 0; i < std::size(k_views); ++i)
        if (k_views[i] == view) views_->setCurrentIndex(static_cast<int>(i));
}

stats_view statistics_window::current_view() const {
    return k_views[static_cast<std::size_t>(std::max(0, views_->currentIndex()))];
}

QWidget* statistics_window::page_of(stats_view view) const {
    for (std::size_t i = 0; i < std::size(k_views); ++i)
        if (k_views[i] == view) return views_->widget(static_cast<int>(i));
    return nullptr;
}

void statistics_window::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!results_.count(current_view())) (void)refresh();
}

status statistics_window::refresh() {
    const stats_view view = current_view();
    const std::optional<stats_period> p = period();
    status st = status::ok();
    if (!p) {
        st = status::error("起始日期不能晚于截止日期！");
    } else {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        result<stats_result> r = compute_(view, *p, scope());
        QApplication::restoreOverrideCursor();
        if (r)
            results_[view] = std::move(*r);
        else
            st = status::error("统计失败！" + r.message());
    }
    if (!st) results_.erase(view);
    problem_->setText(st ? QString() : qs(st.message()));
    problem_->setVisible(!st);
    draw(view);
    return st;
}

const stats_result* statistics_window::shown() const {
    auto it = results_.find(current_view());
    return it == results_.end() ? nullptr : &it->second;
}

std::vector<QTableView*> statistics_window::tables() const {
    auto it = tables_.find(current_view());
    return it == tables_.end() ? std::vector<QTableView*>{} : it->second;
}

void statistics_window::draw(stats_view view) {
    auto* scroll = static_cast<QScrollArea*>(page_of(view));
    auto* content = new QWidget(scroll);
    auto* column = new QVBoxLayout(content);
    std::vector<QTableView*>& views = tables_[view];
    views.clear();
    auto it = results_.find(view);
    if (it != results_.end()) {
        const stats_result& r = it->second;
        QStringList names;
        for (const std::string& n : r.community_names) names << qs(n);
        QString text = names.join("、") + "　" + qs(period_text(r.period));
        if (!r.term_name.empty()) text += "　" + qs(r.term_name);
        auto* heading = new QLabel(text, content);
        heading->setObjectName("heading");
        QFont big = heading->font();
        big.setPointSizeF(big.pointSizeF() + 2);
        big.setBold(true);
        heading->setFont(big);
        column->addWidget(heading);
        for (std::size_t t = 0; t < r.tables.size(); ++t) {
            const stats_table& table = r.tables[t];
            auto* title = new QLabel(qs(table.title), content);
            QFont bold = title->font();
            bold.setBold(true);
            title->setFont(bold);
            column->addWidget(title);
            auto* row = new QHBoxLayout;
            auto* tv = new QTableView(content);
            tv->setObjectName(QString("table%1").arg(t));
            tv->setModel(model_of(table, tv));
            tv->setEditTriggers(QAbstractItemView::NoEditTriggers);
            tv->verticalHeader()->hide();
            tv->resizeColumnsToContents();
            tv->setToolTip(k_behind_hint);
            // As tall as its rows, up to a screenful: the chart stands beside.
            const int rows = std::min<int>(static_cast<int>(table.rows.size()), 14);
            tv->setMinimumHeight(tv->horizontalHeader()->sizeHint().height() +
                                 (rows + 1) * tv->verticalHeader()->defaultSectionSize());
            connect(tv, &QTableView::doubleClicked, this, [this, t](const QModelIndex& index) {
                (void)open_behind(static_cast<int>(t), index.row(), index.column());
            });
            row->addWidget(tv, 1);
            if (QChartView* chart = make_stats_chart_view(table, content)) {
                chart->setObjectName(QString("chart%1").arg(t));
                row->addWidget(chart, 1);
            }
            column->addLayout(row);
            views.push_back(tv);
        }
    }
    column->addStretch(1);
    delete scroll->takeWidget();
    scroll->setWidget(content);
}

records_behind_dialog* statistics_window::open_behind(int table, int row, int column) {
    const stats_result* r = shown();
    if (!r || table < 0 || table >= static_cast<int>(r->tables.size())) return nullptr;
    const stats_table& t = r->tables[static_cast<std::size_t>(table)];
    if (row < 0 || row >= static_cast<int>(t.rows.size())) return nullptr;
    const auto& cells = t.rows[static_cast<std::size_t>(row)];
    if (column < 0 || column >= static_cast<int>(cells.size())) return nullptr;
    const stats_cell& cell = cells[static_cast<std::size_t>(column)];
    if (!cell.behind) return nullptr;
    auto* dialog = new records_behind_dialog(host_, *cell.behind, figure_name(*r, t, row, column), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const status st = dialog->load();
    QApplication::restoreOverrideCursor();
    if (!st) {
        delete dialog;
        host_.message_box("警告信息", "读取数据失败！" + st.message(), icon::stop);
        return nullptr;
    }
    dialog->show();
    return dialog;
}

QString statistics_window::made_by() const {
    // On a shared server the report names the account it was read with.
    if (is_server_target(host_.database_path()))
        if (auto login = host_.sqlca().select_value("SELECT current_user"); login && !login->is_null())
            return qs(login->to_text());
    return qs(host_.sess().os_user);
}

QByteArray statistics_window::report_pdf() const {
    const stats_result* r = shown();
    if (!r) return {};
    const QString at = QString::fromStdString(host_.sess().clock.now().substr(0, 16));
    return stats_report{*r, made_by(), at}.pdf();
}

void statistics_window::print() {
    const stats_result* r = shown();
    if (!r) return;
    const stats_report report{*r, made_by(), QString::fromStdString(host_.sess().clock.now().substr(0, 16))};
    QPrintPreviewDialog dialog(this);
    dialog.setObjectName("print_preview");
    dialog.setWindowTitle("打印预览 - " + report.title());
    dialog.printer()->setDocName(report.title());
    connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
            [&report](QPrinter* printer) { (void)report.paint(*printer); });
    dialog.resize(1000, 720);
    dialog.exec();
}

bool statistics_window::export_pdf() {
    const stats_result* r = shown();
    if (!r) return false;
    list_output out(host_, nullptr, this);
    return out.save_pdf(stats_report{*r, {}, {}}.title(), [this] { return report_pdf(); });
}

bool statistics_window::export_xlsx() {
    const stats_result* r = shown();
    if (!r) return false;
    list_output out(host_, nullptr, this);
    return out.save_file("导出Excel", stats_report{*r, {}, {}}.title(), "Excel 工作簿 (*.xlsx)", "xlsx",
                         "Excel工作簿", [r](staged_file& file) { return stats_xlsx(*r, file.path()); });
}

}  // namespace officerecords::app
