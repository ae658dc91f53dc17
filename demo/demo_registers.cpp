#include "demo/demo_registers.h"

#include <cstdint>
#include <span>
#include <string_view>

#include "demo/demo_pictures.h"

namespace officerecords::demo {

namespace {

struct asset_row {
    int community;
    std::string_view sort, name, brand, model;
    int count;
    std::string_view unit;
    std::int64_t yuan;
    std::string_view purchased, keeper, scrapped, recorder, recorded, note;
};

struct money_row {
    int community;
    std::string_view recorded, sort, source_or_scope, use;
    std::int64_t yuan;
    int fen;
    std::string_view handler, approver, recorder, note;
};

struct work_row {
    int community;
    std::string_view date, name, place, organise, attendance, content, department, recorder, note;
};

struct seal_row {
    int community, resident;
    std::string_view date, sort, detail, handler, approver, note;
};

struct commin_row {
    int community;
    std::string_view date, type, name, content, agreed, from, until, appraisal, note;
};

struct activity_row {
    int community;
    std::string_view mode, date, topic, place, department, plan;
    int units, attendance;
    std::int64_t cost;
    std::string_view source, recorder, publish, big_affair, summary;
};

struct photo_row {
    std::string_view file, note;
    rgb sky, banner;
};

}  // namespace

void write_assets(row_writer& w) {
    static const asset_row rows[] = {
        {0, "02", "台式计算机", "联想", "启天M437", 4, "台", 19960, "2019-04-10", "李文静", "",
         "李文静", "2019-04-12", "社区服务大厅窗口使用"},
        {0, "02", "激光打印机", "惠普", "LaserJet Pro M405d", 2, "台", 3580, "2020-06-18", "李文静",
         "", "李文静", "2020-06-18", ""},
        {0, "01", "多功能复印机", "理光", "MP 2014AD", 1, "台", 8600, "2016-09-05", "王建华",
         "2023-11-20", "王建华", "2016-09-08", "主板故障，维修价值低，经街道审核报废"},
        {0, "03", "办公桌椅", "震旦", "1.4米钢木组合", 8, "套", 9600, "2015-03-16", "王建华", "",
         "王建华", "2015-03-20", ""},
        {0, "04", "电动自行车", "雅迪", "DE3", 2, "辆", 5198, "2021-05-08", "张志强", "", "李文静",
         "2021-05-10", "网格巡查专用"},
        {0, "06", "便携式音响", "先科", "SA-8019", 1, "套", 1280, "2022-08-26", "周晓婷", "",
         "周晓婷", "2022-08-26", "广场活动使用"},
        {0, "01", "碎纸机", "得力", "9918", 1, "台", 699, "2023-02-14", "李文静", "", "李文静",
         "2023-02-14", ""},
        {1, "02", "笔记本电脑", "华为", "MateBook D14", 2, "台", 9598, "2022-03-15", "胡斌", "",
         "徐丽娟", "2022-03-16", ""},
        {1, "01", "投影仪", "爱普生", "CB-X06", 1, "台", 3999, "2018-10-22", "徐丽娟", "", "徐丽娟",
         "2018-10-25", "会议室使用"},
        {1, "03", "钢制文件柜", "金虎", "四门对开", 6, "个", 4200, "2014-07-01", "何伟",
         "2024-05-10", "何伟", "2014-07-03", "锈蚀变形，已报废"},
        {1, "02", "空调", "格力", "KFR-35GW", 3, "台", 8970, "2017-06-20", "何伟", "", "徐丽娟",
         "2017-06-22", ""},
        {1, "09", "党群服务中心标识牌", "", "不锈钢烤漆", 1, "块", 1500, "2021-06-28", "胡斌", "",
         "胡斌", "2021-06-30", ""},
    };
    for (const asset_row& r : rows) {
        w.insert_register("tc_og_assetregister", commno_of(r.community),
                          {{"assetsort", r.sort},
                           {"goodsname", r.name},
                           {"namebrand", text_or_null(r.brand)},
                           {"goodstype", r.model},
                           {"goodscount", r.count},
                           {"computeunit", r.unit},
                           {"originvalue", yuan(r.yuan)},
                           {"purchasedate", day(r.purchased)},
                           {"keepperson", r.keeper},
                           {"scrapedate", day(r.scrapped)},
                           {"recorder", r.recorder},
                           {"recorddate", day(r.recorded)},
                           {"note", text_or_null(r.note)}});
    }
}

void write_income(row_writer& w) {
    static const money_row rows[] = {
        {0, "2025-01-08", "10", "01", "", 60000, 0, "王建华", "", "李文静",
         "2025年第一季度办公经费"},
        {0, "2024-12-20", "30", "02", "", 150000, 0, "陈红梅", "", "李文静",
         "党群服务阵地适老化改造专项资金"},
        {0, "2025-03-05", "40", "05", "", 8000, 0, "周晓婷", "", "李文静",
         "辖区共建单位资助学雷锋志愿服务活动"},
        {0, "2024-09-18", "40", "04", "", 2600, 0, "周晓婷", "", "李文静",
         "居民自愿捐赠，用于中秋节慰问困难家庭"},
        {0, "2025-04-02", "20", "02", "", 36000, 0, "王建华", "", "李文静",
         "2025年度社区惠民资金（第一批）"},
        {0, "2024-07-15", "50", "03", "", 1250, 50, "张志强", "", "李文静", "废旧物品回收处置收入"},
        {1, "2025-01-10", "10", "01", "", 45000, 0, "徐丽娟", "", "胡斌", "2025年第一季度办公经费"},
        {1, "2024-11-28", "20", "02", "", 30000, 0, "杨建军", "", "胡斌",
         "2024年度社区惠民资金（第二批）"},
        {1, "2025-02-20", "40", "05", "", 5000, 0, "何伟", "", "胡斌",
         "共建单位资助元宵节游园活动"},
        {1, "2024-06-05", "30", "02", "", 80000, 0, "杨建军", "", "胡斌", "老旧小区微改造配套资金"},
    };
    for (const money_row& r : rows) {
        w.insert_register("tc_og_incomemoneyrecord", commno_of(r.community),
                          {{"recorddate", day(r.recorded)},
                           {"outlaysort", r.sort},
                           {"outlaysource", r.source_or_scope},
                           {"moneysum", yuan(r.yuan, r.fen)},
                           {"handleperson", r.handler},
                           {"recorder", r.recorder},
                           {"note", text_or_null(r.note)}});
    }
}

void write_expenditure(row_writer& w) {
    static const money_row rows[] = {
        {0, "2025-01-15", "10", "11", "购买打印纸、硒鼓、文件盒等办公用品", 1865, 50, "李文静",
         "陈红梅", "李文静", ""},
        {0, "2025-04-08", "10", "12", "2025年第一季度党群服务中心水电费", 4320, 0, "王建华",
         "陈红梅", "李文静", ""},
        {0, "2025-02-26", "30", "31", "党群服务中心无障碍坡道及扶手改造", 46800, 0, "王建华",
         "陈红梅", "李文静", "已通过街道验收"},
        {0, "2024-10-09", "40", "41", "重阳节文艺汇演服装及道具租赁", 3200, 0, "周晓婷", "陈红梅",
         "李文静", ""},
        {0, "2024-09-20", "40", "43", "中秋节走访慰问困难家庭（月饼、食用油）", 2580, 0, "周晓婷",
         "陈红梅", "李文静", "慰问困难家庭12户"},
        {0, "2025-03-18", "50", "50", "困难居民临时救助", 2000, 0, "王建华", "陈红梅", "李文静",
         "经居委会集体研究同意"},
        {1, "2025-01-20", "10", "13", "2025年度宽带网络及电话费", 2160, 0, "胡斌", "杨建军", "胡斌",
         ""},
        {1, "2024-12-12", "20", "21", "社区工作者业务培训会场地及资料费", 1480, 0, "徐丽娟",
         "杨建军", "胡斌", ""},
        {1, "2024-08-22", "30", "32", "背街小巷环境卫生集中整治", 12600, 0, "何伟", "杨建军",
         "胡斌", ""},
        {1, "2025-02-24", "40", "41", "元宵节游园活动奖品", 1950, 0, "何伟", "杨建军", "胡斌", ""},
    };
    for (const money_row& r : rows) {
        w.insert_register("tc_og_moneyoutgorecord", commno_of(r.community),
                          {{"recorddate", day(r.recorded)},
                           {"outlaysort", r.sort},
                           {"usebound", r.source_or_scope},
                           {"usenote", r.use},
                           {"moneysum", yuan(r.yuan, r.fen)},
                           {"handleperson", r.handler},
                           {"examperson", r.approver},
                           {"recorder", r.recorder},
                           {"note", text_or_null(r.note)}});
    }
}

void write_daily_work(row_writer& w) {
    static const work_row rows[] = {
        {0, "2025-01-06", "2025年第一次居委会工作例会", "党群服务中心三楼会议室", "02",
         "陈红梅、王建华、李文静、周晓婷、吴国庆、赵桂英",
         "总结2024年工作，研究部署2025年第一季度重点工作：春节走访慰问、安全生产检查、居民议事会筹"
         "备。",
         "01", "李文静", ""},
        {0, "2025-02-12", "春节前安全生产大检查", "辖区沿街商铺及老旧小区", "02",
         "王建华、吴国庆、辖区派出所民警2人",
         "对沿街32家商铺及东湖路老旧小区开展消防安全检查，发现隐患5处，当场整改3处，其余限期整改。",
         "12", "吴国庆", "隐患台账已上报街道"},
        {0, "2024-11-20", "居民议事会：加装电梯协调会", "中北路居民议事厅", "03",
         "中北路18号1栋居民代表14人、陈红梅、王建华",
         "协调1单元低楼层住户意见，形成加装电梯费用分摊方案，12户签字同意。", "01", "李文静", ""},
        {0, "2025-03-26", "人民调解：邻里漏水纠纷", "社区调解室", "02",
         "王建华、赵桂英、当事人双方", "黄鹂路住户楼上漏水引发纠纷，经调解双方达成维修及赔偿协议。",
         "04", "王建华", "已制作调解协议书"},
        {0, "2024-12-03", "党委会：年度党员民主评议", "党群服务中心三楼会议室", "01",
         "社区党委委员5人、党员代表20人",
         "开展年度党员民主评议，通报评议结果，部署冬季送温暖活动。", "01", "李文静", ""},
        {1, "2025-01-08", "2025年第一次居委会工作例会", "东亭社区党群服务中心会议室", "02",
         "杨建军、徐丽娟、胡斌、郭玉兰、何伟", "部署春节期间值班、走访慰问及烟花爆竹安全宣传工作。",
         "01", "胡斌", ""},
        {1, "2024-10-15", "居民小组长会议", "东亭路社区活动室", "03", "各居民小组长9人、徐丽娟",
         "通报第三季度社区工作，征求老旧小区改造意见。", "01", "胡斌", ""},
        {1, "2025-03-11", "防汛工作部署会", "东亭社区党群服务中心会议室", "02",
         "杨建军、何伟、各楼栋长", "成立防汛应急小分队，排查地势低洼楼栋3处，落实沙袋等物资。",
         "12", "何伟", ""},
        {1, "2024-09-06", "残疾人需求调查", "辖区入户走访", "02", "郭玉兰、胡斌",
         "入户走访持证残疾人26人，更新需求台账。", "08", "胡斌", ""},
    };
    for (const work_row& r : rows) {
        w.insert_register("tc_og_dailyworkrecord", commno_of(r.community),
                          {{"meetdate", day(r.date)},
                           {"meetname", r.name},
                           {"commaddr", r.place},
                           {"organise", r.organise},
                           {"attendperson", r.attendance},
                           {"content", r.content},
                           {"submitdept", r.department},
                           {"recorder", r.recorder},
                           {"note", text_or_null(r.note)}});
    }
}

void write_seal_use(row_writer& w, const roster& people) {
    static const seal_row rows[] = {
        {0, 0, "2025-02-18", "01", "为子女办理小学入学开具居住证明", "李文静", "陈红梅", ""},
        {0, 3, "2024-09-02", "02", "申请大学新生助学金所需家庭经济困难证明", "李文静", "陈红梅",
         ""},
        {0, 6, "2025-04-10", "03", "前往区不动产登记中心办理房屋继承手续", "周晓婷", "陈红梅", ""},
        {0, 9, "2024-12-16", "06", "办理养老保险待遇领取的亲属关系证明", "李文静", "陈红梅", ""},
        {0, 12, "2025-05-06", "04", "申请公共租赁住房的上报材料", "周晓婷", "王建华",
         "主任外出，副主任代批"},
        {1, 0, "2025-01-22", "01", "办理居住证所需居住证明", "胡斌", "杨建军", ""},
        {1, 2, "2024-08-19", "02", "申请临时救助的家庭经济困难证明", "胡斌", "杨建军", ""},
        {1, 5, "2025-03-03", "03", "前往区社保局办理退休手续", "徐丽娟", "杨建军", ""},
        {1, 8, "2024-11-05", "06", "办理遗属补助的亲属关系证明", "胡斌", "杨建军", ""},
    };
    for (const seal_row& r : rows) {
        w.insert_register("tc_og_sealuserecord", commno_of(r.community),
                          {{"personno", people.resident(r.community, r.resident).personno},
                           {"applydate", day(r.date)},
                           {"sealusesort", r.sort},
                           {"detailuse", r.detail},
                           {"dealperson", r.handler},
                           {"confirmperson", r.approver},
                           {"note", text_or_null(r.note)}});
    }
}

void write_move_in(row_writer& w) {
    static const commin_row rows[] = {
        {0, "2024-03-12", "02", "老吴便民修鞋配钥匙点",
         "在东湖路12号楼下设便民服务点，经营修鞋、配钥匙、修伞。", "1", "2024-04-01", "",
         "服务热情，收费合理，居民满意。", "已签订门前三包责任书"},
        {0, "2023-05-20", "03", "武昌区阳光助老服务中心", "申请进驻社区开展居家养老上门服务。", "1",
         "2023-06-01", "2025-05-31", "服务规范，老人反映良好。", "合同期满"},
        {0, "2024-08-06", "05", "小区快递驿站", "申请在水果湖横路小区内设立快递收发点。", "0", "",
         "", "", ""},
        {0, "2025-02-17", "04", "湖北大学青年志愿者协会", "申请每周进社区开展四点半课堂作业辅导。",
         "1", "2025-03-01", "", "大学生志愿者认真负责，家长认可。", ""},
        {0, "2022-10-10", "01", "中国建设银行武汉水果湖支行",
         "申请开展金融知识进社区及防范电信诈骗宣传。", "1", "2022-11-01", "2023-10-31",
         "宣传内容实用，居民防骗意识提高。", "共建协议到期"},
        {1, "2024-04-08", "02", "东亭便民早餐店", "申请在东亭路12号临街门面经营早餐。", "1",
         "2024-05-01", "", "干净卫生，价格实惠。", "已签订食品安全承诺书"},
        {1, "2023-09-14", "03", "武昌区心语心理咨询服务中心",
         "申请进驻社区开展青少年心理健康辅导。", "1", "2023-10-01", "2024-09-30",
         "活动专业，家长满意。", "项目到期"},
        {1, "2025-03-20", "05", "社区团购自提点", "申请在小区门岗设立团购自提点。", "0", "", "", "",
         ""},
        {1, "2024-12-02", "04", "武汉理工大学青年志愿者服务队",
         "申请定期开展老年人智能手机使用教学。", "1", "2025-01-01", "",
         "帮助老人学会网上缴费和视频通话。", ""},
    };
    for (const commin_row& r : rows) {
        w.insert_register("tc_og_comminregister", commno_of(r.community),
                          {{"registdate", day(r.date)},
                           {"commintype", r.type},
                           {"registname", r.name},
                           {"registcontent", r.content},
                           {"isagree", r.agreed},
                           {"incommdate", day(r.from)},
                           {"outcommdate", day(r.until)},
                           {"residentappraise", text_or_null(r.appraisal)},
                           {"note", text_or_null(r.note)}});
    }
}

void write_activities(row_writer& w) {
    static const activity_row rows[] = {
        {0, "02", "2025-03-05", "03", "社区党群服务中心广场", "11",
         "联合辖区共建单位和高校志愿者，在社区广场开展义诊、理发、家电维修、法律咨询等便民服务。",
         8, 120, 1860, "05", "李文静", "1", "1",
         "学雷锋志愿服务集中行动顺利开展，8家共建单位、40余名志愿者参与，服务居民120余人次，义务理"
         "发35人次，维修小家电22件。"},
        {0, "01", "2024-10-11", "08", "社区老年活动中心", "02",
         "组织社区文艺队排练节目，邀请80岁以上老人观看演出并发放慰问品。", 3, 150, 3200, "02",
         "周晓婷", "1", "0",
         "重阳节敬老文艺汇演共演出节目12个，为36位80岁以上老人送上慰问品，现场气氛热烈。"},
        {0, "02", "2024-06-26", "05", "东湖路口宣传点", "03",
         "配合辖区派出所开展国际禁毒日宣传，设置展板、发放资料。", 2, 80, 450, "01", "吴国庆", "1",
         "0", "发放禁毒宣传资料300余份，展出禁毒展板10块，解答居民咨询40余人次。"},
        {0, "01", "2024-07-01", "01", "党群服务中心三楼会议室", "01",
         "庆祝中国共产党成立103周年，组织党员重温入党誓词、讲党课、表彰优秀党员。", 1, 65, 800,
         "01", "李文静", "1", "1",
         "社区党委组织65名党员参加主题党日活动，重温入党誓词，书记讲授专题党课，表彰优秀共产党员5名"
         "。"},
        {0, "01", "2025-04-18", "06", "辖区各小区", "06",
         "开展爱国卫生月环境清洁行动，清理楼道杂物和卫生死角。", 4, 90, 600, "03", "王建华", "0",
         "0", "清理楼道堆积物42处、卫生死角15处，清运垃圾约6吨，居民环境意识明显提高。"},
        {0, "04", "2024-08-10", "09", "社区四点半课堂", "10",
         "暑期四点半课堂结业展示，展示书法、绘画和手工作品。", 2, 60, 980, "05", "周晓婷", "1", "0",
         "展出学生书画手工作品50余件，30名学生参加结业展示，家长反响良好。"},
        {1, "01", "2025-01-18", "02", "东亭社区党群服务中心", "01",
         "邀请书法爱好者现场书写春联、福字，免费赠送居民。", 2, 200, 1200, "03", "胡斌", "1", "1",
         "书写春联300余副、福字500余张，赠送居民200余户，营造浓厚节日氛围。"},
        {1, "02", "2024-11-09", "07", "东亭路小区广场", "12",
         "联合消防救援站开展消防安全演练和灭火器使用培训。", 2, 110, 500, "01", "何伟", "1", "0",
         "演示灭火器和消火栓使用方法，组织居民疏散演练，110名居民参加。"},
        {1, "04", "2025-03-28", "04", "东亭社区卫生服务站", "05",
         "联合社区卫生服务中心开展高血压、糖尿病免费筛查和健康讲座。", 2, 85, 300, "05", "徐丽娟",
         "0", "0", "为85名居民测量血压血糖，筛查出疑似高血压患者6人并建立随访档案。"},
        {1, "01", "2024-05-20", "03", "辖区主次干道", "01", "组织党员志愿者开展文明创建志愿服务。",
         1, 40, 0, "03", "胡斌", "0", "0",
         "40名党员志愿者劝导不文明行为60余次，清理小广告200余张。"},
    };
    // The first activity of each community has photos; the others none.
    static const photo_row first_photos[] = {
        {"xueleifeng_01.bmp", "志愿者为居民义务理发", {120, 180, 235}, {200, 30, 40}},
        {"xueleifeng_02.bmp", "共建单位志愿者维修小家电", {140, 190, 240}, {190, 40, 35}},
        {"xueleifeng_03.bmp", "活动现场合影", {110, 170, 230}, {210, 25, 30}},
    };
    static const photo_row spring_photos[] = {
        {"chunlian_01.bmp", "书法爱好者现场书写春联", {150, 200, 245}, {220, 20, 20}},
    };
    bool first[2] = {true, true};
    for (const activity_row& r : rows) {
        const std::int64_t orderno =
            w.insert_register("tc_og_commactivityrecord", commno_of(r.community),
                              {{"buildmode", r.mode},
                               {"activitydate", day(r.date)},
                               {"activitytopic", r.topic},
                               {"activityaddr", r.place},
                               {"submitdept", r.department},
                               {"activityplan", r.plan},
                               {"attendcompnum", r.units},
                               {"attendpersonnum", r.attendance},
                               {"activitysumup", r.summary},
                               {"activitycost", yuan(r.cost)},
                               {"outlaysource", r.source},
                               {"recorder", r.recorder},
                               {"ispublish", r.publish},
                               {"isbigaffair", r.big_affair}});
        // What the activity window's transfer would have written for it.
        if (r.big_affair == "1") {
            w.insert("TC_GE_BigAffair", {{"CommNo", commno_of(r.community)},
                                         {"AffairDate", day(r.date)},
                                         {"Subject", code_name("dddw_og_activitytopic", r.topic)},
                                         {"Content", r.summary},
                                         {"IsSave", "2"}});
        }
        if (!first[r.community]) continue;
        first[r.community] = false;
        const std::span<const photo_row> photos = r.community == 0
                                                      ? std::span<const photo_row>(first_photos)
                                                      : std::span<const photo_row>(spring_photos);
        std::int64_t photono = 0;
        for (const photo_row& p : photos) {
            w.insert("TS_CommActivePhoto", {{"CommNo", commno_of(r.community)},
                                            {"OrderNo", orderno},
                                            {"PhotoNo", ++photono},
                                            {"PhotoFileName", p.file},
                                            {"PhotoNote", p.note},
                                            {"Photo", scene(p.sky, p.banner)}});
        }
    }
}

void write_chronicle(row_writer& w) {
    struct affair {
        int community;
        std::string_view date, subject, content;
    };
    static const affair rows[] = {
        {0, "2021-03-26", "水果湖社区第六届居民委员会换届选举",
         "召开居民代表会议，选举产生第六届社区居民委员会成员7名。"},
        {0, "2024-12-28", "党群服务中心完成适老化改造",
         "社区党群服务中心完成无障碍坡道、扶手和老年食堂改造，并于当日投入使用。"},
        {1, "2021-03-28", "东亭社区第六届居民委员会换届选举",
         "召开居民代表会议，选举产生第六届社区居民委员会成员5名。"},
    };
    for (const affair& r : rows) {
        w.insert("TC_GE_BigAffair", {{"CommNo", commno_of(r.community)},
                                     {"AffairDate", day(r.date)},
                                     {"Subject", r.subject},
                                     {"Content", r.content},
                                     {"IsSave", "1"}});
    }
}

}  // namespace officerecords::demo
