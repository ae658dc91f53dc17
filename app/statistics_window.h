// The office's statistics: a tab per view (收支, 固定资产, 日常工作, 社区活动,
// 居委会组织), above them the period (a year, a quarter, a month or a range
// of dates) and the communities (the current one, or 全部社区 side by side
// with a total row, as far as the connection may see them). Each table of
// a view stands beside its chart. A double-click on a figure lists the
// records behind it (records_behind_dialog). A view is printed, or saved
// as a PDF file, as the report handed to the street office (stats_report).
#pragma once

#include <QDate>
#include <QWidget>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "foundation/status.h"
#include "statistics/statistics.h"

class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QSpinBox;
class QStandardItemModel;
class QTabWidget;
class QTableView;

namespace officerecords::app {

class qt_host;
class records_behind_dialog;

enum class period_kind { year, quarter, month, range };

class statistics_window final : public QWidget {
    Q_OBJECT

public:
    using compute_fn =
        std::function<result<stats_result>(stats_view, const stats_period&, const stats_scope&)>;

    // Over the host's connection and current community; `today` chooses
    // the period shown first (this year). Nothing is computed before show()
    // or refresh().
    statistics_window(qt_host& host, QDate today, QWidget* parent = nullptr);
    ~statistics_window() override;

    // Computes the figures another way (tests); the default asks the
    // database through compute_statistics.
    void set_compute(compute_fn compute);

    // The period chosen: a year (part ignored), a quarter (1..4), a month
    // (1..12); a range from `from` to `to`.
    void choose_period(period_kind kind, int year, int part = 1);
    void choose_range(QDate from, QDate to);
    // The period the choice stands for; nullopt for a range whose start
    // lies after its end.
    std::optional<stats_period> period() const;
    // The communities chosen: the current one, or every one seen.
    void choose_all_communities(bool all);
    bool all_communities_offered() const;
    stats_scope scope() const;

    void show_view(stats_view view);
    stats_view current_view() const;
    // Computes the current view for the period and communities chosen;
    // the message says why it could not be.
    status refresh();
    // The current view's figures, nullptr before they are computed.
    const stats_result* shown() const;
    // The table views of the current view, in the order of its tables.
    std::vector<QTableView*> tables() const;

    // Opens the list of the records behind a figure of the current view,
    // not modal; nullptr when the cell is no figure or its records cannot
    // be read (the clerk was told why).
    records_behind_dialog* open_behind(int table, int row, int column);

    // The report of the current view, as printed: the account or the
    // workstation's user, and the time now.
    QString made_by() const;
    QByteArray report_pdf() const;
    void print();
    // Both ask for the file; false when nothing was written.
    bool export_pdf();
    bool export_xlsx();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void build_period_bar();
    void update_period_fields();
    void choices_changed();
    void draw(stats_view view);
    QWidget* page_of(stats_view view) const;

    qt_host& host_;
    compute_fn compute_;
    QComboBox* kind_ = nullptr;
    QSpinBox* year_ = nullptr;
    QComboBox* quarter_ = nullptr;
    QComboBox* month_ = nullptr;
    QDateEdit* from_ = nullptr;
    QDateEdit* to_ = nullptr;
    QLabel* to_label_ = nullptr;
    QComboBox* communities_ = nullptr;
    QTabWidget* views_ = nullptr;
    QLabel* problem_ = nullptr;
    std::map<stats_view, stats_result> results_;
    std::map<stats_view, std::vector<QTableView*>> tables_;
    bool refreshing_ = false;
};

}  // namespace officerecords::app
