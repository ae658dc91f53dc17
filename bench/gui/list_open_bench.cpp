// The asset list on the screen with 100,000 records of one community: how
// long the clerk waits for it to open (listing the records, building the
// model, the first paint of the table) and to scroll, sort and narrow it.
//
// The records are made here in a temporary database and thrown away at the
// end. The widgets are the program's own (the register's tab page), drawn
// offscreen. Each step runs several times and prints its median, minimum
// and maximum in milliseconds.
//
//   officerecords_gui_bench [RUNS]
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/app_setup.h"
#include "app/qt_host.h"
#include "app/register_list_model.h"
#include "app/register_tab.h"
#include "foundation/register_page.h"
#include "platform/database.h"

namespace {

using namespace officerecords;
using namespace officerecords::app;

constexpr int k_rows = 100000;
constexpr const char* k_commno = "420106009001";
constexpr int k_page_steps = 50;

[[noreturn]] void die(const std::string& why) {
    std::fprintf(stderr, "error: %s\n", why.c_str());
    std::exit(1);
}

// One community, the asset categories and 100,000 assets, in one statement.
void fill(transaction& t) {
    if (t.begin_write() != sql_code::ok) die(t.sqlerrtext());
    auto run = [&](const std::string& sql) {
        if (t.execute(sql) != sql_code::ok) die(sql.substr(0, 60) + ": " + t.sqlerrtext());
    };
    run(std::string("INSERT INTO tc_ge_community (commno, commname) VALUES ('") + k_commno +
        "', '测试社区')");
    run("INSERT INTO tc_ge_code (codetable, tcode, tname) VALUES "
        "('dddw_og_assetsort', '01', '办公设备'), ('dddw_og_assetsort', '02', '电子设备'), "
        "('dddw_og_assetsort', '03', '家具用具'), ('dddw_og_assetsort', '04', '交通工具')");
    run(std::string("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ") +
        std::to_string(k_rows) +
        ") INSERT INTO tc_og_assetregister (commno, orderno, assetsort, goodsname, namebrand, "
        "goodstype, goodscount, computeunit, originvalue, purchasedate, keepperson, recorder, "
        "recorddate, note, issave) SELECT '" +
        k_commno +
        "', i, printf('%02d', 1 + i % 4), '资产' || i, '品牌' || (i % 97), '型号-' || (i % 13), "
        "1 + i % 9, '台', (i % 50000) * 1.25, date('2015-01-01', '+' || (i % 3000) || ' days'), "
        "'保管人' || (i % 31), '登记人' || (i % 7), date('2015-01-02', '+' || (i % 3000) || ' "
        "days'), "
        "CASE WHEN i % 5 = 0 THEN '备注' || i END, '1' FROM n");
    if (t.commit() != sql_code::ok) die(t.sqlerrtext());
}

struct timing {
    std::vector<double> ms;
    void add(double v) { ms.push_back(v); }
    double median() const {
        auto v = ms;
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    }
    double min() const { return *std::min_element(ms.begin(), ms.end()); }
    double max() const { return *std::max_element(ms.begin(), ms.end()); }
};

double time_ms(const std::function<void()>& step) {
    QElapsedTimer t;
    t.start();
    step();
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

// Paints the table as a screen would show it now.
void paint(register_tab& tab) { tab.view().viewport()->grab(); }

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    setup_application(app);
    int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

    QTemporaryDir dir;
    std::string path = dir.filePath("bench.db").toStdString();
    qt_host host;
    host.set_unattended(true);
    if (status st = create_database(path, false, host); !st) die(st.message());
    if (status st = host.connect(path); !st) die(st.message());
    QElapsedTimer made;
    made.start();
    fill(host.sqlca());
    std::printf("made %d asset records in %.0f ms\n", k_rows, static_cast<double>(made.elapsed()));
    host.set_community(k_commno);
    const window_entry& entry = *find_window_entry("w_m_og_assetregister");

    std::map<std::string, timing> t;
    const char* order[] = {"list_register alone",       "open: list + model + columns",
                           "open: first paint",         "open: total",
                           "scroll to the end + paint", "page down + paint (each)",
                           "sort by goodsname + paint", "narrow to 11 rows + paint"};
    for (int run = 0; run < runs; ++run) {
        {
            uo_tabpg_datawindow page;
            t["list_register alone"].add(time_ms([&] {
                if (!list_register(page, std::string(entry.window), entry.list(), host.sess()))
                    die("list_register failed");
            }));
        }
        register_tab tab(entry);
        tab.resize(1200, 700);
        double listed = time_ms([&] {
            if (status st = tab.load(host.sess()); !st) die(st.message());
        });
        if (tab.model().rowCount() != k_rows) die("the list does not show every record");
        double painted = time_ms([&] {
            tab.show();
            paint(tab);
        });
        t["open: list + model + columns"].add(listed);
        t["open: first paint"].add(painted);
        t["open: total"].add(listed + painted);

        t["scroll to the end + paint"].add(time_ms([&] {
            tab.view().scrollToBottom();
            paint(tab);
        }));
        tab.view().scrollToTop();
        QScrollBar* bar = tab.view().verticalScrollBar();
        double pages = time_ms([&] {
            for (int i = 0; i < k_page_steps; ++i) {
                bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
                paint(tab);
            }
        });
        t["page down + paint (each)"].add(pages / k_page_steps);
        t["sort by goodsname + paint"].add(time_ms([&] {
            tab.model().sort(2, Qt::AscendingOrder);
            paint(tab);
        }));
        t["narrow to 11 rows + paint"].add(time_ms([&] {
            tab.model().set_filter("资产9999");
            paint(tab);
        }));
        if (tab.model().rowCount() != 11) die("the narrowed list is wrong");
    }

    std::printf("\n%d rows, %d runs, milliseconds        median      min      max\n", k_rows, runs);
    for (const char* name : order) {
        const timing& x = t[name];
        std::printf("  %-34s %8.1f %8.1f %8.1f\n", name, x.median(), x.min(), x.max());
    }
    return 0;
}
