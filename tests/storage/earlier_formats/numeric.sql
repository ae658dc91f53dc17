-- The tables as the program first made them: amounts as NUMERIC (SQLite
-- kept them as doubles, a fraction of more than 15 digits already rounded),
-- no history of changes, no index on the record numbers, key columns that
-- SQLite lets hold null. Version 0.
CREATE TABLE tc_og_assetregister (
    commno VARCHAR(12),
    orderno NUMERIC(18,0),
    assetsort VARCHAR(2),
    goodsname VARCHAR(60),
    namebrand VARCHAR(60),
    goodstype VARCHAR(60),
    goodscount INTEGER,
    computeunit VARCHAR(10),
    originvalue NUMERIC(18,2),
    purchasedate DATE,
    keepperson VARCHAR(30),
    scrapedate DATE,
    recorder VARCHAR(30),
    recorddate DATE,
    issave VARCHAR(1),
    note VARCHAR(254),
    prepare1 DATE,
    prepare2 NUMERIC(18,2),
    prepare3 VARCHAR(254),
    prepare4 DATE,
    prepare5 NUMERIC(18,2),
    prepare6 VARCHAR(254),
    PRIMARY KEY (commno, orderno)
);
CREATE TABLE tc_og_incomemoneyrecord (
    commno VARCHAR(12),
    orderno NUMERIC(18,0),
    recorddate DATE,
    outlaysort VARCHAR(2),
    outlaysource VARCHAR(2),
    moneysum NUMERIC(18,2),
    handleperson VARCHAR(30),
    recorder VARCHAR(30),
    issave VARCHAR(1),
    note VARCHAR(254),
    prepare1 DATE,
    prepare2 NUMERIC(18,2),
    prepare3 VARCHAR(254),
    prepare4 DATE,
    prepare5 NUMERIC(18,2),
    prepare6 VARCHAR(254),
    PRIMARY KEY (commno, orderno)
);
CREATE TABLE tc_og_moneyoutgorecord (
    commno VARCHAR(12),
    orderno NUMERIC(18,0),
    recorddate DATE,
    outlaysort VARCHAR(2),
    usebound VARCHAR(2),
    usenote VARCHAR(400),
    moneysum NUMERIC(18,2),
    handleperson VARCHAR(30),
    examperson VARCHAR(30),
    recorder VARCHAR(30),
    issave VARCHAR(1),
    note VARCHAR(254),
    prepare1 DATE,
    prepare2 NUMERIC(18,2),
    prepare3 VARCHAR(254),
    prepare4 DATE,
    prepare5 NUMERIC(18,2),
    prepare6 VARCHAR(254),
    PRIMARY KEY (commno, orderno)
);
CREATE TABLE tc_og_dailyworkrecord (
    commno VARCHAR(12),
    orderno NUMERIC(18,0),
    meetdate DATE,
    meetname VARCHAR(100),
    commaddr VARCHAR(60),
    organise VARCHAR(2),
    attendperson VARCHAR(400),
    content VARCHAR(4000),
    submitdept VARCHAR(2),
    issave VARCHAR(1),
    recorder VARCHAR(30),
    note VARCHAR(254),
    prepare1 DATE,
    prepare2 NUMERIC(18,2),
    prepare3 VARCHAR(254),
    prepare4 DATE,
    prepare5 NUMERIC(18,2),
    prepare6 VARCHAR(254),
    PRIMARY KEY (commno, orderno)
);
CREATE TABLE tc_og_sealuserecord (
    commno VARCHAR(12),
    orderno NUMERIC(18,0),
    personno VARCHAR(24),
    applydate DATE,
    sealusesort VARCHAR(2),
    detailuse VARCHAR(2000),
    dealperson VARCHAR(30),
    confirmperson VARCHAR(30),
    issave VARCHAR(1),
    note VARCHAR(254),
    prepare1 DATE,
    prepare2 NUMERIC(18,2),
    prepare3 VARCHAR(254),
    prepare4 DATE,
    prepare5 NUMERIC(18,2),
    prepare6 VARCHAR(254),
    PRIMARY KEY (commno, orderno)
);
CREATE TABLE tc_og_comminregister (
    commno VARCHAR(12),
    orderno NUMERIC(18,0),
    registdate DATE,
    commintype VARCHAR(2),
    registname VARCHAR(60),
    registcontent VARCHAR(2000),
    isagree VARCHAR(1),
    incommdate DATE,
    outcommdate DATE,
    residentappraise VARCHAR(1000),
    issave VARCHAR(1),
    note VARCHAR(2000),
    prepare1 DATE,
    prepare2 NUMERIC(18,2),
    prepare3 VARCHAR(254),
    prepare4 DATE,
    prepare5 NUMERIC(18,2),
    prepare6 VARCHAR(254),
    PRIMARY KEY (commno, orderno)
);
CREATE TABLE tc_og_commactivityrecord (
    commno VARCHAR(12),
    orderno NUMERIC(18,0),
    buildmode VARCHAR(2),
    activitydate DATE,
    activitytopic VARCHAR(2),
    activityaddr VARCHAR(60),
    submitdept VARCHAR(100),
    activityplan VARCHAR(4000),
    attendcompnum INTEGER,
    attendpersonnum INTEGER,
    activitysumup VARCHAR(4000),
    activitycost NUMERIC(18,2),
    outlaysource VARCHAR(2),
    recorder VARCHAR(30),
    ispublish VARCHAR(1),
    isbigaffair VARCHAR(1),
    issave VARCHAR(1),
    note VARCHAR(254),
    prepare1 DATE,
    prepare2 NUMERIC(18,2),
    prepare3 VARCHAR(254),
    prepare4 DATE,
    prepare5 NUMERIC(18,2),
    prepare6 VARCHAR(254),
    PRIMARY KEY (commno, orderno)
);
CREATE TABLE tc_og_councilorgduty (
    commno VARCHAR(12),
    orgno INTEGER,
    falldue VARCHAR(2),
    orgname VARCHAR(60),
    organtype VARCHAR(2),
    orgpost VARCHAR(2000),
    issave VARCHAR(1),
    note VARCHAR(254),
    prepare1 DATE,
    prepare2 NUMERIC(18,2),
    prepare3 VARCHAR(254),
    prepare4 DATE,
    prepare5 NUMERIC(18,2),
    prepare6 VARCHAR(254),
    PRIMARY KEY (commno, orgno)
);
CREATE TABLE tc_og_councilmemberinfo (
    commno VARCHAR(12),
    orderno NUMERIC(18,0),
    falldue VARCHAR(2),
    personno VARCHAR(24),
    formeridentity VARCHAR(2),
    havevisadate DATE,
    partypost VARCHAR(2),
    inhabitstatus VARCHAR(2),
    duty VARCHAR(2),
    isresidentagent VARCHAR(1),
    iscandidater VARCHAR(1),
    islinkduty VARCHAR(1),
    dimissdate DATE,
    dinissionmode VARCHAR(2),
    jobduty VARCHAR(1000),
    issave VARCHAR(1),
    note VARCHAR(254),
    prepare1 DATE,
    prepare2 NUMERIC(18,2),
    prepare3 VARCHAR(254),
    prepare4 DATE,
    prepare5 NUMERIC(18,2),
    prepare6 VARCHAR(254),
    dutyinparty VARCHAR(2),
    ondutydate DATE,
    PRIMARY KEY (commno, orderno)
);
CREATE TABLE tc_og_councilorgmember (
    commno VARCHAR(12),
    orderno NUMERIC(18,0),
    orgno INTEGER,
    issave VARCHAR(1),
    note VARCHAR(254),
    personno VARCHAR(24),
    prepare1 DATE,
    prepare2 NUMERIC(18,2),
    prepare3 VARCHAR(254),
    prepare4 DATE,
    prepare5 NUMERIC(18,2),
    prepare6 VARCHAR(254),
    duty VARCHAR(2),
    PRIMARY KEY (commno, orderno)
);
CREATE TABLE tc_og_councilmembertrain (
    commno VARCHAR(12),
    orderno NUMERIC(18,0),
    personno VARCHAR(24),
    traindate DATE,
    trainlevel VARCHAR(2),
    ispass VARCHAR(1),
    issave VARCHAR(1),
    note VARCHAR(254),
    prepare1 DATE,
    prepare2 NUMERIC(18,2),
    prepare3 VARCHAR(254),
    prepare4 DATE,
    prepare5 NUMERIC(18,2),
    prepare6 VARCHAR(254),
    PRIMARY KEY (commno, orderno)
);
CREATE TABLE tc_og_councilmemberappr (
    commno VARCHAR(12),
    orderno NUMERIC(18,0),
    personno VARCHAR(24),
    assessyear VARCHAR(2),
    assessresult VARCHAR(2),
    issave VARCHAR(1),
    note VARCHAR(254),
    prepare1 DATE,
    prepare2 NUMERIC(18,2),
    prepare3 VARCHAR(254),
    prepare4 DATE,
    prepare5 NUMERIC(18,2),
    prepare6 VARCHAR(254),
    PRIMARY KEY (commno, orderno)
);
CREATE TABLE tc_og_councilmemberhonor (
    commno VARCHAR(12),
    orderno NUMERIC(18,0),
    personno VARCHAR(24),
    prizedate DATE,
    prizelevel VARCHAR(2),
    prizename VARCHAR(40),
    issave VARCHAR(1),
    note VARCHAR(254),
    prepare1 DATE,
    prepare2 NUMERIC(18,2),
    prepare3 VARCHAR(254),
    prepare4 DATE,
    prepare5 NUMERIC(18,2),
    prepare6 VARCHAR(254),
    prizecode VARCHAR(2),
    PRIMARY KEY (commno, orderno)
);
CREATE TABLE tc_og_parttimejob (
    commno VARCHAR(12),
    orderno NUMERIC(18,0),
    personno VARCHAR(24),
    holdtime DATE,
    parttimejob VARCHAR(4),
    issave VARCHAR(1),
    note VARCHAR(254),
    prepare1 DATE,
    prepare2 NUMERIC(18,2),
    prepare3 VARCHAR(254),
    prepare4 DATE,
    prepare5 NUMERIC(18,2),
    prepare6 VARCHAR(254),
    PRIMARY KEY (commno, orderno)
);
CREATE TABLE TS_CommActivePhoto (
    CommNo VARCHAR(12),
    OrderNo INTEGER,
    PhotoNo INTEGER,
    PhotoFileName VARCHAR(254),
    PhotoNote VARCHAR(254),
    Photo BLOB,
    PRIMARY KEY (OrderNo, PhotoNo)
);
CREATE TABLE TC_GE_BigAffair (
    AffairNo INTEGER PRIMARY KEY,
    CommNo VARCHAR(12),
    AffairDate DATE,
    Subject VARCHAR(100),
    Content VARCHAR(4000),
    IsSave VARCHAR(1)
);
CREATE TABLE tc_ge_personinfo (
    personno VARCHAR(24),
    personname VARCHAR(30),
    idcard VARCHAR(20),
    sex VARCHAR(2),
    birthdate DATE,
    rprtype VARCHAR(2),
    rpraddr VARCHAR(60),
    nationality VARCHAR(2),
    polity VARCHAR(2),
    contactphone VARCHAR(30),
    edulevel VARCHAR(2),
    presentaddr1 VARCHAR(60),
    personkind VARCHAR(2),
    isdeath INTEGER,
    PRIMARY KEY (personno)
);
CREATE TABLE tc_ge_personotherinfo (
    personno VARCHAR(24),
    isvolunteer VARCHAR(1),
    PRIMARY KEY (personno)
);
CREATE TABLE TS_PersonPhoto (
    PersonNo VARCHAR(24),
    PhotoFileName VARCHAR(254),
    Photo BLOB,
    PRIMARY KEY (PersonNo)
);
CREATE TABLE tc_ge_code (
    codetable VARCHAR(40),
    tcode VARCHAR(10),
    tname VARCHAR(100),
    PRIMARY KEY (codetable, tcode)
);
CREATE TABLE tc_ge_community (
    commno VARCHAR(12),
    commname VARCHAR(60),
    PRIMARY KEY (commno)
);
CREATE INDEX ix_tc_og_sealuserecord_personno ON tc_og_sealuserecord (personno);
CREATE INDEX ix_tc_og_councilorgduty_falldue_orgname ON tc_og_councilorgduty (falldue, orgname);
CREATE INDEX ix_tc_og_councilmemberinfo_personno ON tc_og_councilmemberinfo (personno);
CREATE INDEX ix_tc_og_councilmemberinfo_falldue_duty ON tc_og_councilmemberinfo (falldue, duty);
CREATE INDEX ix_tc_og_councilorgmember_orgno ON tc_og_councilorgmember (orgno);
CREATE INDEX ix_tc_og_councilmembertrain_personno ON tc_og_councilmembertrain (personno);
CREATE INDEX ix_tc_og_councilmemberappr_personno ON tc_og_councilmemberappr (personno);
CREATE INDEX ix_tc_og_councilmemberhonor_personno ON tc_og_councilmemberhonor (personno);
CREATE INDEX ix_tc_og_parttimejob_personno ON tc_og_parttimejob (personno);
CREATE INDEX ix_tc_ge_bigaffair_subject_affairdate ON TC_GE_BigAffair (Subject, AffairDate);
CREATE INDEX ix_tc_ge_personinfo_personname ON tc_ge_personinfo (personname);
