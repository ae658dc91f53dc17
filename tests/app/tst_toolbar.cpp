// The toolbar of every record window: each button tells its key in its
// tooltip, the core's own text kept ("保存数据(Ctrl+S)") or followed by the
// key the window gives it ("最后一条记录 (Ctrl+End)"), and each picture has
// a shape of its own, so that Save and 临时保存 are told apart also when
// both are greyed. The main frame's buttons name their keys too.
#include <QAction>
#include <QToolBar>
#include <QToolButton>
#include <QWindow>

#include "app/main_window.h"
#include "gui_test_support.h"

using namespace officerecords;
using namespace officerecords::app;
using namespace officerecords::app::testing;

namespace {

// The frame's buttons and the key each one answers to.
const std::pair<const char*, const char*> k_frame_keys[] = {
    {"cb_help", "Ctrl+H"},     {"cb_last", "Ctrl+End"},   {"cb_next", "Ctrl+PgDown"},
    {"cb_prior", "Ctrl+PgUp"}, {"cb_first", "Ctrl+Home"}, {"cb_exit", "Esc"},
    {"cb_save", "Ctrl+S"},     {"cb_roll", "Ctrl+U"},     {"cb_tempsave", "Ctrl+T"}};

// Where a picture is drawn, as the greyed picture of a disabled button
// shows it: its colours gone, only its shape is left to tell it by.
QImage shape_of(const QToolButton& b) {
    const QImage greyed = b.icon().pixmap(b.iconSize(), QIcon::Disabled).toImage();
    QImage shape(greyed.size(), QImage::Format_Mono);
    for (int y = 0; y < greyed.height(); ++y)
        for (int x = 0; x < greyed.width(); ++x)
            shape.setPixel(x, y, qAlpha(greyed.pixel(x, y)) > 0 ? 1 : 0);
    return shape;
}

// The share of the pixels where two shapes differ.
double difference(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull()) return 1;
    int differ = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) differ += a.pixelIndex(x, y) != b.pixelIndex(x, y);
    return double(differ) / (a.width() * a.height());
}

}  // namespace

class tst_toolbar : public QObject {
    Q_OBJECT

    std::unique_ptr<scratch_office> office_;

private Q_SLOTS:
    void initTestCase() { setup_application(*qApp); }
    void init() { office_ = std::make_unique<scratch_office>(); }
    void cleanup() { office_.reset(); }

    void a_button_s_tooltip_names_its_key_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("tooltip");
        QTest::newRow("help: the core's") << "cb_help"
                                          << "查看相应帮助(Ctrl+H)";
        QTest::newRow("last") << "cb_last"
                              << "最后一条记录 (Ctrl+End)";
        QTest::newRow("next") << "cb_next"
                              << "下一条记录 (Ctrl+PgDown)";
        QTest::newRow("prior") << "cb_prior"
                               << "上一条记录 (Ctrl+PgUp)";
        QTest::newRow("first") << "cb_first"
                               << "第一条记录 (Ctrl+Home)";
        QTest::newRow("exit: the core's") << "cb_exit"
                                          << "关闭窗口(Esc)";
        QTest::newRow("save: the core's") << "cb_save"
                                          << "保存数据(Ctrl+S)";
        QTest::newRow("revert: the core's") << "cb_roll"
                                            << "还原数据(Ctrl+U)";
        QTest::newRow("save unchecked: the core's") << "cb_tempsave"
                                                    << "不做数据校验临时保存(Ctrl+T)";
    }
    void a_button_s_tooltip_names_its_key() {
        QFETCH(QString, button);
        QFETCH(QString, tooltip);
        open_asset_record r(*office_, "修改");
        QToolButton* b = r.dialog->button(button.toStdString());
        QVERIFY(b);
        QCOMPARE(b->toolTip(), tooltip);
    }

    void every_record_window_s_buttons_name_their_keys_and_differ_in_shape() {
        for (const window_entry& e : window_catalog()) {
            if (!e.form || !e.list) continue;
            open_register_record r(*office_, e.window, "修改");
            const QString where = qs(std::string(e.window));
            std::vector<std::pair<QString, QToolButton*>> shown;
            for (const auto& [name, key] : k_frame_keys) {
                QToolButton* b = r.dialog->button(name);
                QVERIFY2(b, qPrintable(where + " " + name));
                if (b->isHidden()) continue;
                QVERIFY2(b->toolTip().endsWith("(" + QString(key) + ")"),
                         qPrintable(where + " " + name + ": " + b->toolTip()));
                shown.emplace_back(name, b);
            }
            QVERIFY2(shown.size() >= 8, qPrintable(where));
            for (std::size_t i = 0; i < shown.size(); ++i)
                for (std::size_t j = i + 1; j < shown.size(); ++j) {
                    const double d =
                        difference(shape_of(*shown[i].second), shape_of(*shown[j].second));
                    QVERIFY2(d >= 0.03,
                             qPrintable(where + ": " + shown[i].first + " and " + shown[j].first +
                                        " look alike, " + QString::number(d)));
                }
        }
    }

    void the_frame_s_buttons_name_their_keys() {
        main_window frame(office_->host, "测试社区");
        auto* bar = frame.findChild<QToolBar*>("records");
        QVERIFY(bar);
        const std::pair<const char*, const char*> expected[] = {{"add", "添加 (Ctrl+N)"},
                                                                {"delete", "删除 (Del)"},
                                                                {"refresh", "刷新 (F5)"},
                                                                {"print", "打印… (Ctrl+P)"}};
        for (const auto& [name, tooltip] : expected) {
            auto* a = frame.findChild<QAction*>(name);
            QVERIFY2(a && bar->actions().contains(a), name);
            QCOMPARE(a->toolTip(), QString(tooltip));
        }
    }
};

QTEST_MAIN(tst_toolbar)
#include "tst_toolbar.moc"
