// Amounts as any other reader of the database sees them: ordinary SQL
// compares, sorts and adds them as numbers, and gets the same answers on
// SQLite as on the server. Each query runs on each backend against the
// demo office and one expected answer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "storage/database.h"
#include "tests/test_support.h"

namespace officerecords {
namespace {

using testkit::backend;

// A number as a report prints it, with two decimals, whatever form the
// backend delivered it in (an integer, a double, the server's digits).
std::string figure(const value& v) {
    if (v.is_null()) return "null";
    std::optional<double> d = v.as_double();
    if (!d && v.is_text()) d = parse_number(v.text());
    return d ? decimal::from_double(*d, 2).rescaled(2).str() : "not a number: " + v.to_text();
}

// Every row of a query, its items as figures joined by "|".
std::vector<std::string> figures(transaction& t, const std::string& sql) {
    std::vector<std::string> out;
    auto rows = t.open_cursor(sql);
    if (!rows) return {"error: " + t.sqlerrtext()};
    while (rows->fetch()) {
        std::string line;
        for (int i = 0; i < rows->column_count(); ++i) line += (i ? "|" : "") + figure(rows->column_value(i));
        out.push_back(line);
    }
    return out;
}

using rows = std::vector<std::string>;

class AmountSql : public ::testing::TestWithParam<backend> {};

TEST_P(AmountSql, OrdinaryQueriesSeeNumbersAndAgreeOnEveryBackend) {
    OFFICERECORDS_NEED_BACKEND(GetParam());
    testkit::scratch_database db(true, GetParam());
    transaction& t = db.sqlca();
    const std::string assets = " FROM tc_og_assetregister WHERE commno = '420106001001'";
    EXPECT_EQ(figures(t, "SELECT originvalue" + assets + " ORDER BY originvalue DESC"),
              (rows{"19960.00", "9600.00", "8600.00", "5198.00", "3580.00", "1280.00", "699.00"}));
    EXPECT_EQ(figures(t, "SELECT count(*)" + assets + " AND originvalue > 1000"), rows{"6.00"});
    EXPECT_EQ(figures(t, "SELECT max(originvalue), min(originvalue)" + assets), rows{"19960.00|699.00"});
    EXPECT_EQ(figures(t, "SELECT max(moneysum), min(moneysum) FROM tc_og_incomemoneyrecord"),
              rows{"150000.00|1250.50"});
    EXPECT_EQ(figures(t, "SELECT sum(originvalue), avg(originvalue)" + assets), rows{"48917.00|6988.14"});

    // Amounts with cents, written as the program writes them.
    const value cents[] = {value(decimal(30, 2)), value(decimal(10, 2)), value(decimal(20, 2)),
                           value(decimal(123456, 2)), value(decimal(999999999999999, 2))};
    for (int i = 0; i < 5; ++i) {
        const value p[] = {cents[i], value(i + 1)};
        ASSERT_EQ(t.execute("UPDATE tc_og_moneyoutgorecord SET moneysum = ? WHERE commno = '420106001001' AND "
                            "orderno = ?",
                            p),
                  sql_code::ok)
            << t.sqlerrtext();
    }
    ASSERT_EQ(t.commit(), sql_code::ok);
    const std::string spent = " FROM tc_og_moneyoutgorecord WHERE commno = '420106001001' AND orderno <= 5";
    EXPECT_EQ(figures(t, "SELECT count(*)" + spent + " AND moneysum = 0.3"), rows{"1.00"});
    EXPECT_EQ(figures(t, "SELECT count(*)" + spent + " AND moneysum < 1"), rows{"3.00"});
    EXPECT_EQ(figures(t, "SELECT moneysum" + spent + " ORDER BY moneysum"),
              (rows{"0.10", "0.20", "0.30", "1234.56", "9999999999999.99"}));
    EXPECT_EQ(figures(t, "SELECT sum(moneysum)" + spent + " AND moneysum < 1"), rows{"0.60"});
    EXPECT_EQ(figures(t, "SELECT max(moneysum), min(moneysum), avg(moneysum)" + spent + " AND moneysum < 10000"),
              rows{"1234.56|0.10|308.79"});
}

INSTANTIATE_TEST_SUITE_P(Backends, AmountSql, ::testing::Values(backend::sqlite, backend::postgresql),
                         testkit::backend_name);

}  // namespace
}  // namespace officerecords
