// The asset list on the screen beside a plain Qt list over the same rows:
// opening it (first paint, and every row listed; beside a Qt list that
// fetches every row and one that fetches lazily), sorting it by the goods
// name and narrowing it by a search,
// and, given the programs, the program's start to its first painted list
// beside a program that only shows an empty window. A runner spawns this
// with a database it made and reads the lines it prints:
//
//   officerecords_gui_bench --db PATH --community COMMNO --runs N
//       [--app PATH_TO_officerecords --minimal PATH_TO_minimal_program --demo PATH_TO_DEMO_DB]
//
// PATH is a SQLite file or a PostgreSQL URI; the Qt lists read a server
// through Qt's PostgreSQL driver (Debian: libqt6sql6-psql).
//
// stdout holds only "gui\tWORKLOAD\tSIDE\tms1,...,msN" lines (SIDE ours,
// anchor, or lazy for the Qt list that fetches as it is scrolled); diagnostics go to stderr. Ours and the anchor run in turn, so
// load elsewhere on the machine hits both alike. A run whose rows are not
// the expected ones ends the program with an error.
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QSortFilterProxyModel>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QUrl>
#include <QUrlQuery>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/app_setup.h"
#include "app/qt_host.h"
#include "app/register_list_model.h"
#include "app/register_tab.h"
#include "foundation/register_page.h"

namespace {

using namespace officerecords;
using namespace officerecords::app;

constexpr const char* k_window = "w_m_og_assetregister";
constexpr const char* k_sort_column = "goodsname";

[[noreturn]] void die(const QString& why) {
    std::fprintf(stderr, "officerecords_gui_bench: %s\n", qPrintable(why));
    std::exit(1);
}

struct options {
    QString db, community, app, minimal, demo;
    int runs = 0;
};

options parse(const QStringList& args) {
    options o;
    for (int i = 1; i < args.size(); ++i) {
        if (i + 1 >= args.size()) die(args[i] + " needs a value");
        const QString& a = args[i];
        const QString v = args[++i];
        if (a == "--db") o.db = v;
        else if (a == "--community") o.community = v;
        else if (a == "--runs") o.runs = v.toInt();
        else if (a == "--app") o.app = v;
        else if (a == "--minimal") o.minimal = v;
        else if (a == "--demo") o.demo = v;
        else die("unknown argument " + a);
    }
    if (o.db.isEmpty() || o.community.isEmpty() || o.runs < 1)
        die("usage: officerecords_gui_bench --db PATH --community COMMNO --runs N "
            "[--app PATH --minimal PATH --demo PATH]");
    const int start_options = !o.app.isEmpty() + !o.minimal.isEmpty() + !o.demo.isEmpty();
    if (start_options != 0 && start_options != 3) die("--app, --minimal and --demo go together");
    return o;
}

double ms_since(const QElapsedTimer& t) { return static_cast<double>(t.nsecsElapsed()) / 1e6; }

// Paints the table as a screen would show it now.
void paint(QTableView& view) { view.viewport()->grab(); }

// The milliseconds of each workload and side, printed at the end.
std::map<std::pair<QString, QString>, std::vector<double>> timings;
std::vector<std::pair<QString, QString>> printed_order;

void record(const QString& workload, const QString& side, double ms) {
    auto key = std::pair{workload, side};
    if (!timings.count(key)) printed_order.push_back(key);
    timings[key].push_back(ms);
}

void print_timings() {
    for (const auto& key : printed_order) {
        QStringList values;
        for (double ms : timings[key]) values << QString::asprintf("%.3f", ms);
        std::printf("gui\t%s\t%s\t%s\n", qPrintable(key.first), qPrintable(key.second),
                    qPrintable(values.join(',')));
    }
    std::fflush(stdout);
}

// The rows the benchmark expects, counted by SQL apart from both lists.
struct expected {
    long rows = 0;
    QString needle;  // a goods name that a handful of records contain
    long narrowed = 0;
};

long count_of(QSqlDatabase& db, const QString& sql, const QVariantList& params) {
    QSqlQuery q(db);
    q.prepare(sql);
    for (const QVariant& p : params) q.addBindValue(p);
    if (!q.exec() || !q.next()) die("cannot count: " + q.lastError().text());
    return q.value(0).toLongLong();
}

bool on_server(const QSqlDatabase& db) { return db.driverName() == "QPSQL"; }

expected expect(QSqlDatabase& db, const QString& commno) {
    expected e;
    e.rows = count_of(db, "SELECT count(*) FROM tc_og_assetregister WHERE commno = ?", {commno});
    if (e.rows < 1) die("the database holds no asset of community " + commno);
    // The goods name of the 9,999th record: in the generated data "资产9999",
    // which ten or so longer names contain too.
    QSqlQuery q(db);
    q.prepare("SELECT goodsname FROM tc_og_assetregister WHERE commno = ? ORDER BY orderno "
              "LIMIT 1 OFFSET ?");
    q.addBindValue(commno);
    q.addBindValue(static_cast<qlonglong>(std::min<long>(e.rows, 9999) - 1));
    if (!q.exec() || !q.next()) die("cannot read a goods name: " + q.lastError().text());
    e.needle = q.value(0).toString();
    e.narrowed = count_of(db,
                          on_server(db) ? "SELECT count(*) FROM tc_og_assetregister WHERE commno = ? AND "
                                          "strpos(lower(goodsname), lower(?)) > 0"
                                        : "SELECT count(*) FROM tc_og_assetregister WHERE commno = ? AND "
                                          "instr(lower(goodsname), lower(?)) > 0",
                          {commno, e.needle});
    return e;
}

void check(long got, long want, const char* what, const char* side) {
    if (got != want)
        die(QString("%1 (%2): %3 rows, expected %4").arg(what, side).arg(got).arg(want));
}

// Our list: the register's tab page, as the program opens it.
void run_ours(qt_host& host, const window_entry& entry, const expected& e) {
    QElapsedTimer t;
    t.start();
    auto tab = std::make_unique<register_tab>(entry);
    tab->resize(1200, 700);
    if (status st = tab->load(host.sess()); !st) die(QString::fromStdString(st.message()));
    tab->show();
    paint(tab->view());
    record("list_open", "ours", ms_since(t));
    // The rest comes in behind the first page, on the event loop.
    while (tab->reading()) QCoreApplication::processEvents();
    paint(tab->view());
    record("list_whole", "ours", ms_since(t));
    check(tab->model().rowCount(), e.rows, "list_whole", "ours");

    register_list_model& model = tab->model();
    int section = -1;
    for (int s = 1; s < model.columnCount() && section < 0; ++s)
        if (iequals(tab->page().dw_1.column_definition(model.column_of(s)).name, k_sort_column))
            section = s;
    if (section < 0) die("the list shows no goods name");
    t.start();
    model.sort(section, Qt::AscendingOrder);
    paint(tab->view());
    record("sort", "ours", ms_since(t));
    check(model.rowCount(), e.rows, "sort", "ours");

    // The clerk's pause is over: from the narrowing's start until it is
    // shown, with the event loop turning as it does between keystrokes.
    double longest = 0;
    auto stretch = [&](const std::function<void()>& work) {
        QElapsedTimer s;
        s.start();
        work();
        longest = std::max(longest, ms_since(s));
    };
    tab->search().setText(e.needle);
    // What the sort and the typing left for the event loop is not the
    // narrowing's.
    QCoreApplication::processEvents();
    t.start();
    stretch([&] { tab->apply_narrowing(); });
    while (model.narrowing_pending()) stretch([] { QCoreApplication::processEvents(); });
    stretch([&] { paint(tab->view()); });
    record("narrow", "ours", ms_since(t));
    record("narrow_ui_block", "ours", longest);
    check(model.rowCount(), e.narrowed, "narrow", "ours");
    if (tab->page().shown != model.view_rows()) die("narrow (ours): the record window's rows differ");

    // Later searches find the search texts built: told on stderr only.
    model.set_filter({});
    model.finish_narrowing();
    t.start();
    model.set_filter(e.needle);
    model.finish_narrowing();
    paint(tab->view());
    std::fprintf(stderr, "narrow again, search texts built (ours): %.3f ms\n", ms_since(t));
    check(model.rowCount(), e.narrowed, "narrow again", "ours");
}

// The very SELECT our list runs, in Qt's model, and our list's columns.
std::unique_ptr<QSqlQueryModel> anchor_model(QSqlDatabase& db, const dw_object& list, const QString& commno) {
    const std::string key = record_key_column(list);
    const QString sql = QString::fromStdString("SELECT * FROM (" + list.select +
                                               ") q WHERE commno = ? ORDER BY " + key);
    auto source = std::make_unique<QSqlQueryModel>();
    QSqlQuery q(db);
    q.prepare(sql);
    q.addBindValue(commno);
    if (!q.exec()) die("anchor: " + q.lastError().text());
    source->setQuery(std::move(q));
    return source;
}

void show_columns_of(QTableView& view, const dw_object& list) {
    std::vector<bool> shown(list.columns.size(), false);
    for (int col : list.shown_columns()) shown[static_cast<std::size_t>(col - 1)] = true;
    for (std::size_t c = 0; c < shown.size(); ++c)
        view.setColumnHidden(static_cast<int>(c), !shown[c]);
}

// The anchor: a plain Qt list over the very SELECT our list runs, every
// row fetched (ours holds every row too, to sort and narrow them).
void run_anchor(QSqlDatabase& db, const dw_object& list, const QString& commno, const expected& e) {
    QElapsedTimer t;
    t.start();
    auto source = anchor_model(db, list, commno);
    while (source->canFetchMore()) source->fetchMore();
    auto proxy = std::make_unique<QSortFilterProxyModel>();
    proxy->setSourceModel(source.get());
    auto view = std::make_unique<QTableView>();
    view->setModel(proxy.get());
    // The same columns as our list shows.
    show_columns_of(*view, list);
    view->resize(1200, 700);
    view->show();
    paint(*view);
    record("list_open", "anchor", ms_since(t));
    record("list_whole", "anchor", ms_since(t));
    check(proxy->rowCount(), e.rows, "list_open", "anchor");

    const int sort_column = list.find(k_sort_column);
    t.start();
    proxy->sort(sort_column, Qt::AscendingOrder);
    paint(*view);
    record("sort", "anchor", ms_since(t));
    check(proxy->rowCount(), e.rows, "sort", "anchor");

    t.start();
    proxy->setFilterCaseSensitivity(Qt::CaseInsensitive);
    proxy->setFilterKeyColumn(-1);
    proxy->setFilterFixedString(e.needle);
    paint(*view);
    record("narrow", "anchor", ms_since(t));
    check(proxy->rowCount(), e.narrowed, "narrow", "anchor");
}

// The lazy anchor: the same SELECT in a QSqlQueryModel shown by a
// QTableView alone, which fetches rows as they are scrolled to.
void run_lazy_anchor(QSqlDatabase& db, const dw_object& list, const QString& commno) {
    QElapsedTimer t;
    t.start();
    auto source = anchor_model(db, list, commno);
    auto view = std::make_unique<QTableView>();
    view->setModel(source.get());
    show_columns_of(*view, list);
    view->resize(1200, 700);
    view->show();
    paint(*view);
    record("list_open", "lazy", ms_since(t));
    if (source->rowCount() < 1) die("lazy anchor: no row");
}

// The Qt lists' connection: Qt's own driver for the file or the server.
QSqlDatabase open_anchor(const QString& target) {
    if (!target.startsWith("postgres")) {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "anchor");
        db.setDatabaseName(target);
        return db;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", "anchor");
    const QUrl url(target);
    const QUrlQuery query(url);
    db.setDatabaseName(url.path().mid(1));
    db.setHostName(query.hasQueryItem("host") ? query.queryItemValue("host") : url.host());
    if (url.port() > 0) db.setPort(url.port());
    if (query.hasQueryItem("port")) db.setPort(query.queryItemValue("port").toInt());
    db.setUserName(query.hasQueryItem("user") ? query.queryItemValue("user") : url.userName());
    if (!url.password().isEmpty()) db.setPassword(url.password());
    return db;
}

// Wall time from spawning a program, offscreen and with settings of its
// own, until it exits; a failed program ends the benchmark.
double spawn_ms(const QString& program, const QStringList& args, const QString& settings_dir) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", settings_dir);
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        die(program + " failed: " + p.errorString() + ", exit code " + QString::number(p.exitCode()));
    return ms_since(t);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    setup_application(app);
    const options o = parse(QCoreApplication::arguments());

    qt_host host;
    host.set_unattended(true);
    if (status st = host.connect(o.db.toStdString()); !st)
        die("cannot open " + o.db + ": " + QString::fromStdString(st.message()));
    host.set_community(o.community.toStdString());
    const window_entry* entry = find_window_entry(k_window);
    if (!entry) die(QString("no window ") + k_window);

    QSqlDatabase db = open_anchor(o.db);
    if (!db.open()) die("anchor cannot open " + o.db + ": " + db.lastError().text());
    const expected e = expect(db, o.community);
    std::fprintf(stderr, "%ld records of %s, \"%s\" in %ld of them\n", e.rows,
                 qPrintable(o.community), qPrintable(e.needle), e.narrowed);
    if (e.rows > 500000)
        std::fprintf(stderr, "the anchor fetches every row into its model: slow and large here\n");

    for (int run = 0; run < o.runs; ++run) {
        run_ours(host, *entry, e);
        run_anchor(db, entry->list(), o.community, e);
        run_lazy_anchor(db, entry->list(), o.community);
        std::fprintf(stderr, "run %d of %d done\n", run + 1, o.runs);
    }
    if (!o.app.isEmpty()) {
        QTemporaryDir settings;
        for (int run = 0; run < o.runs; ++run) {
            record("start", "ours",
                   spawn_ms(o.app, {"--db", o.demo, "--quit-after-first-paint"}, settings.path()));
            record("start", "anchor", spawn_ms(o.minimal, {}, settings.path()));
        }
    }
    print_timings();
    return 0;
}
