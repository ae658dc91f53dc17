#include "finance/assetregister.h"

#include "foundation/column_check.h"

namespace officerecords {

const dw_object& d_og_assetregister_f() {
    static const dw_object form = [] {
        dw_object o;
        o.name = "d_og_assetregister_f";
        o.select =
            "SELECT commno, orderno, assetsort, goodsname, namebrand, goodstype, goodscount, "
            "computeunit, originvalue, purchasedate, keepperson, scrapedate, recorder, recorddate, "
            "issave, note, prepare1, prepare2, prepare3, prepare4, prepare5, prepare6 "
            "FROM tc_og_assetregister";
        o.update_table = "tc_og_assetregister";
        o.naming = {"goodsname", "purchasedate", "originvalue"};
        o.columns = {
            column("commno").text(12).key(),
            column("orderno").decimal(0).key(),
            column("assetsort").text(2).update().label("资产分类:").dropdown("dddw_og_assetsort").tab(10),
            column("goodsname").text(60).update().label("资产名称:").tab(20),
            column("namebrand").text(60).update().label("品   牌:").tab(30),
            column("goodstype").text(60).update().label("规格或型号").tab(40),
            column("goodscount").whole().update().label("数量:").format("###,###,###").tab(50),
            column("computeunit").text(10).update().label("计量单位:").tab(60),
            column("originvalue").decimal(2).update().label("价值（元）:").format("#,###,###.00").tab(70),
            column("purchasedate").date().update().label("添置日期:").tab(80),
            column("keepperson").text(30).update().label("保管人:").tab(90),
            column("scrapedate").date().update().label("报废日期:").tab(100),
            column("recorder").text(30).update().label("登记人:").tab(110),
            column("recorddate").date().update().label("登记日期:").tab(120),
            column("issave").text(1).update(),
            column("note").text(254).update().label("备注:").multiline().tab(130),
        };
        append_reserved(o.columns);
        return o;
    }();
    return form;
}

const dw_object& d_og_assetregister() {
    static const dw_object list = make_list(
        d_og_assetregister_f(), "d_og_assetregister",
        {{"assetsort", "资产分类"},
         {"goodsname", "资产名称"},
         {"namebrand", "品牌"},
         {"goodstype", "规格或型号"},
         {"goodscount", "数量"},
         {"computeunit", "计量单位"},
         {"originvalue", "价值（元）", "###,###,###.00"},
         {"purchasedate", "添置日期"},
         {"keepperson", "保管人"},
         {"scrapedate", "报废日期"},
         {"recorder", "登记人"},
         {"recorddate", "登记日期"},
         {"note", "备注"}});
    return list;
}

w_m_og_assetregister::w_m_og_assetregister(session& s)
    : w_modify(s, "w_m_og_assetregister", d_og_assetregister_f()) {}

void w_m_og_assetregister::cb_save_clicked() {
    if (!generic_column_check(dw_1, host(), today(), {"scrapedate"})) return;
    long row = dw_1.getrow();
    auto purchased = dw_1.getitemdate(row, "purchasedate");
    auto scrapped = dw_1.getitemdate(row, "scrapedate");
    if (purchased && scrapped && *scrapped < *purchased) {
        host().message_box("提示", "报废日期不能小于添置日期!");
        return;
    }
    w_modify::cb_save_clicked();
}

}  // namespace officerecords
