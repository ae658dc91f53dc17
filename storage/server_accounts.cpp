#include "storage/server_accounts.h"

#include <set>

#include "storage/server_backend.h"
#include "storage/schema.h"

namespace officerecords {

namespace {

// The rows a clerk's login may see and write: those of his communities,
// while his account is not locked. Locking takes effect at once on every
// connection still open, not only at the next login.
constexpr const char* k_own_rows =
    "commno IN (SELECT k.commno FROM tc_og_clerk k WHERE k.rolname = current_user) AND "
    "EXISTS (SELECT 1 FROM pg_roles r WHERE r.rolname = current_user AND r.rolcanlogin)";

// Tables every login shares: the wider application's person register and
// the codes. The person register is written by the clerks' windows.
bool shared_person_table(std::string_view name) {
    return iequals(name, "tc_ge_personinfo") || iequals(name, "tc_ge_personotherinfo") ||
           iequals(name, "TS_PersonPhoto");
}

std::vector<std::string> group_roles_sql() {
    // Roles belong to the server, not to one database: a second database
    // on the same server finds them there, and two databases made at once
    // may both try to create them.
    return {R"(DO $$
DECLARE r text;
BEGIN
  FOREACH r IN ARRAY ARRAY['officerecords_clerk', 'officerecords_supervisor', 'officerecords_admin'] LOOP
    IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = r) THEN
      BEGIN
        EXECUTE format('CREATE ROLE %I NOLOGIN', r);
      EXCEPTION WHEN duplicate_object OR unique_violation THEN NULL;
      END;
    END IF;
  END LOOP;
END $$)",
            // The login that creates the database administers its accounts
            // (a superuser is a member of every role already). Two
            // databases made at once by one login may both grant it.
            R"(DO $$
BEGIN
  IF NOT pg_has_role(current_user, 'officerecords_admin', 'MEMBER') THEN
    BEGIN
      EXECUTE format('GRANT officerecords_admin TO %I', current_user);
    EXCEPTION WHEN unique_violation OR duplicate_object THEN NULL;
    END;
  END IF;
END $$)"};
}

std::vector<std::string> policies_sql(const std::string& table) {
    return {"ALTER TABLE " + table + " ENABLE ROW LEVEL SECURITY",
            "DROP POLICY IF EXISTS officerecords_clerk ON " + table,
            "DROP POLICY IF EXISTS officerecords_clerk_insert ON " + table,
            "DROP POLICY IF EXISTS officerecords_supervisor ON " + table,
            "CREATE POLICY officerecords_supervisor ON " + table +
                " FOR SELECT TO officerecords_supervisor USING (true)",
            "REVOKE ALL ON " + table + " FROM officerecords_clerk, officerecords_supervisor",
            "GRANT SELECT ON " + table + " TO officerecords_supervisor"};
}

void append(std::vector<std::string>& to, std::vector<std::string> more) {
    to.insert(to.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
}

// The (table, column) pairs officerecords_highest answers for: the key
// columns of the program's own tables, nothing a clerk could name to read
// anything else.
std::string numbered_columns() {
    std::string list;
    for (const table_def& t : schema_tables())
        for (std::string_view k : t.key) {
            if (!t.find_column(k) || t.find_column(k)->kind == column_kind::text) continue;
            if (!list.empty()) list += ", ";
            list += "('" + lower(std::string(t.name)) + "', '" + lower(std::string(k)) + "')";
        }
    return list;
}

std::vector<std::string> functions_sql(const std::string& schema) {
    std::vector<std::string> out;
    // Runs as its owner, who sees every row, so that a number is taken over
    // the whole register; it names no row and reads only a maximum. The
    // search path is fixed: a clerk's temporary table cannot stand in.
    out.push_back(R"(CREATE OR REPLACE FUNCTION officerecords_highest(p_table text, p_column text) RETURNS numeric
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = )" +
                  schema + R"(, pg_temp AS $$
DECLARE top numeric;
BEGIN
  IF (lower(p_table), lower(p_column)) NOT IN (VALUES )" +
                  numbered_columns() + R"() THEN
    RAISE EXCEPTION '不能取表 %.% 的最大编号', p_table, p_column USING ERRCODE = '42501';
  END IF;
  EXECUTE format('SELECT max(%I) FROM %I', lower(p_column), lower(p_table)) INTO top;
  RETURN top;
END $$)");
    // The count of a rule that holds across communities; the table and its
    // columns are of a fixed list, and only the number comes back.
    out.push_back(R"(CREATE OR REPLACE FUNCTION officerecords_count(p_table text, p_columns text, VARIADIC p_values text[])
RETURNS bigint LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = )" +
                  schema + R"(, pg_temp AS $$
DECLARE n bigint;
BEGIN
  IF (lower(p_table), lower(p_columns)) NOT IN (VALUES ('tc_og_councilmemberinfo', 'falldue,personno')) THEN
    RAISE EXCEPTION '不能数表 %（%）的记录', p_table, p_columns USING ERRCODE = '42501';
  END IF;
  EXECUTE 'SELECT count(*) FROM tc_og_councilmemberinfo WHERE falldue = $1 AND personno = $2'
    INTO n USING p_values[1], p_values[2];
  RETURN n;
END $$)");
    out.push_back("REVOKE ALL ON FUNCTION officerecords_count(text, text, text[]) FROM PUBLIC");
    out.push_back("GRANT EXECUTE ON FUNCTION officerecords_count(text, text, text[]) TO officerecords_clerk, "
                  "officerecords_supervisor, officerecords_admin");
    out.push_back("REVOKE ALL ON FUNCTION officerecords_highest(text, text) FROM PUBLIC");
    out.push_back("GRANT EXECUTE ON FUNCTION officerecords_highest(text, text) TO officerecords_clerk, "
                  "officerecords_supervisor, officerecords_admin");

    // The administrator's functions run with the caller's own rights: a
    // login without CREATEROLE or without the clerks' table is refused by
    // the server, whatever it calls.
    out.push_back(R"(CREATE OR REPLACE FUNCTION officerecords_check_communities(p_communities text) RETURNS text[]
LANGUAGE plpgsql AS $$
DECLARE
  list text[] := array_remove(string_to_array(p_communities, ','), '');
  c text;
BEGIN
  IF list IS NULL OR cardinality(list) = 0 THEN
    RAISE EXCEPTION '营业员账号至少要有一个社区' USING ERRCODE = '22023';
  END IF;
  FOREACH c IN ARRAY list LOOP
    IF NOT EXISTS (SELECT 1 FROM tc_ge_community WHERE commno = c) THEN
      RAISE EXCEPTION '数据库中没有社区 %', c USING ERRCODE = '22023';
    END IF;
  END LOOP;
  RETURN list;
END $$)");
    out.push_back(R"(CREATE OR REPLACE FUNCTION officerecords_is_account(p_name text, p_group text) RETURNS boolean
LANGUAGE sql STABLE AS $$
  SELECT EXISTS (SELECT 1 FROM pg_auth_members m JOIN pg_roles r ON r.oid = m.member
                 JOIN pg_roles g ON g.oid = m.roleid WHERE r.rolname = p_name AND g.rolname = p_group)
$$)");
    out.push_back(R"(CREATE OR REPLACE FUNCTION officerecords_add_account(p_name text, p_verifier text, p_kind text, p_communities text)
RETURNS void LANGUAGE plpgsql AS $$
DECLARE list text[];
BEGIN
  IF p_name IS NULL OR p_name !~ '^[a-z_][a-z0-9_]{0,62}$' THEN
    RAISE EXCEPTION '账号名只能由小写字母、数字和下划线组成，以字母或下划线开头：%', p_name USING ERRCODE = '22023';
  END IF;
  IF p_kind NOT IN ('clerk', 'supervisor') THEN
    RAISE EXCEPTION '账号只能是营业员（clerk）或监督员（supervisor）：%', p_kind USING ERRCODE = '22023';
  END IF;
  IF EXISTS (SELECT 1 FROM pg_roles WHERE rolname = p_name) THEN
    RAISE EXCEPTION '服务器上已经有账号 %', p_name USING ERRCODE = '42710';
  END IF;
  IF p_kind = 'clerk' THEN
    list := officerecords_check_communities(p_communities);
  END IF;
  EXECUTE format('CREATE ROLE %I LOGIN PASSWORD %L IN ROLE %I', p_name, p_verifier, 'officerecords_' || p_kind);
  IF p_kind = 'clerk' THEN
    INSERT INTO tc_og_clerk (rolname, commno) SELECT p_name, unnest(list);
  END IF;
END $$)");
    out.push_back(R"(CREATE OR REPLACE FUNCTION officerecords_set_communities(p_name text, p_communities text)
RETURNS void LANGUAGE plpgsql AS $$
DECLARE list text[] := officerecords_check_communities(p_communities);
BEGIN
  IF NOT officerecords_is_account(p_name, 'officerecords_clerk') THEN
    RAISE EXCEPTION '没有营业员账号 %', p_name USING ERRCODE = '42704';
  END IF;
  DELETE FROM tc_og_clerk WHERE rolname = p_name;
  INSERT INTO tc_og_clerk (rolname, commno) SELECT p_name, unnest(list);
END $$)");
    out.push_back(R"(CREATE OR REPLACE FUNCTION officerecords_lock_account(p_name text, p_locked boolean)
RETURNS void LANGUAGE plpgsql AS $$
BEGIN
  IF NOT (officerecords_is_account(p_name, 'officerecords_clerk') OR
          officerecords_is_account(p_name, 'officerecords_supervisor')) THEN
    RAISE EXCEPTION '没有账号 %', p_name USING ERRCODE = '42704';
  END IF;
  EXECUTE format('ALTER ROLE %I %s', p_name, CASE WHEN p_locked THEN 'NOLOGIN' ELSE 'LOGIN' END);
END $$)");
    out.push_back(R"(CREATE OR REPLACE FUNCTION officerecords_accounts()
RETURNS TABLE (account text, kind text, communities text, locked boolean) LANGUAGE sql STABLE AS $$
  SELECT r.rolname::text,
         CASE WHEN officerecords_is_account(r.rolname, 'officerecords_clerk') THEN 'clerk' ELSE 'supervisor' END,
         (SELECT string_agg(k.commno, ',' ORDER BY k.commno) FROM tc_og_clerk k WHERE k.rolname = r.rolname),
         NOT r.rolcanlogin
  FROM pg_roles r
  -- A clerk of another database on the same server is not this one's.
  WHERE (officerecords_is_account(r.rolname, 'officerecords_clerk')
         AND EXISTS (SELECT 1 FROM tc_og_clerk k WHERE k.rolname = r.rolname))
     OR officerecords_is_account(r.rolname, 'officerecords_supervisor')
  ORDER BY r.rolname
$$)");
    for (const char* f : {"officerecords_check_communities(text)", "officerecords_add_account(text, text, text, text)",
                          "officerecords_set_communities(text, text)", "officerecords_lock_account(text, boolean)",
                          "officerecords_accounts()"}) {
        out.push_back(std::string("REVOKE ALL ON FUNCTION ") + f + " FROM PUBLIC");
        out.push_back(std::string("GRANT EXECUTE ON FUNCTION ") + f + " TO officerecords_admin");
    }
    return out;
}

std::vector<std::string> security_sql(const std::string& schema) {
    std::vector<std::string> out = group_roles_sql();
    // Nobody but the owner creates objects the functions could be misled by.
    out.push_back("DO $$ BEGIN REVOKE CREATE ON SCHEMA " + schema + " FROM PUBLIC; "
                  "EXCEPTION WHEN insufficient_privilege THEN NULL; END $$");
    out.push_back(std::string("CREATE TABLE IF NOT EXISTS ") + k_version_table + " (version INTEGER NOT NULL)");
    out.push_back("CREATE TABLE IF NOT EXISTS tc_og_clerk (rolname VARCHAR(63) NOT NULL, commno VARCHAR(12) NOT NULL, "
                  "PRIMARY KEY (rolname, commno))");
    append(out, policies_sql("tc_og_clerk"));
    out.push_back("DROP POLICY IF EXISTS officerecords_admin ON tc_og_clerk");
    out.push_back("CREATE POLICY officerecords_clerk ON tc_og_clerk FOR SELECT TO officerecords_clerk "
                  "USING (rolname = current_user)");
    out.push_back("CREATE POLICY officerecords_admin ON tc_og_clerk TO officerecords_admin USING (true) WITH CHECK (true)");
    out.push_back("GRANT SELECT ON tc_og_clerk TO officerecords_clerk");
    out.push_back("GRANT SELECT, INSERT, UPDATE, DELETE ON tc_og_clerk TO officerecords_admin");

    const std::string own = k_own_rows;
    for (const table_def& def : schema_tables()) {
        const std::string table(def.name);
        if (shared_person_table(def.name)) {
            out.push_back("GRANT SELECT, INSERT, UPDATE, DELETE ON " + table + " TO officerecords_clerk");
            out.push_back("GRANT SELECT ON " + table + " TO officerecords_supervisor");
            continue;
        }
        if (iequals(def.name, "tc_ge_code")) {
            out.push_back("GRANT SELECT ON " + table + " TO officerecords_clerk, officerecords_supervisor");
            continue;
        }
        append(out, policies_sql(table));
        if (iequals(def.name, "tc_ge_community")) {
            // A clerk is offered his communities only.
            out.push_back("CREATE POLICY officerecords_clerk ON " + table + " FOR SELECT TO officerecords_clerk USING (" +
                          own + ")");
            out.push_back("GRANT SELECT ON " + table + " TO officerecords_clerk");
        } else if (iequals(def.name, "tc_og_changelog")) {
            // The history is written, never changed, and names the login
            // that wrote it.
            out.push_back("CREATE POLICY officerecords_clerk ON " + table + " FOR SELECT TO officerecords_clerk USING (" +
                          own + ")");
            out.push_back("CREATE POLICY officerecords_clerk_insert ON " + table +
                          " FOR INSERT TO officerecords_clerk WITH CHECK (" + own + " AND dbuser = session_user)");
            out.push_back("GRANT SELECT, INSERT ON " + table + " TO officerecords_clerk");
        } else if (iequals(def.name, "tc_og_changelog_item")) {
            // An item belongs to the community of its change.
            const std::string of_visible_change =
                "EXISTS (SELECT 1 FROM tc_og_changelog l WHERE l.logno = tc_og_changelog_item.logno)";
            out.push_back("CREATE POLICY officerecords_clerk ON " + table + " FOR SELECT TO officerecords_clerk USING (" +
                          of_visible_change + ")");
            out.push_back("CREATE POLICY officerecords_clerk_insert ON " + table +
                          " FOR INSERT TO officerecords_clerk WITH CHECK (" + of_visible_change + ")");
            out.push_back("GRANT SELECT, INSERT ON " + table + " TO officerecords_clerk");
        } else if (def.find_column("commno")) {
            out.push_back("CREATE POLICY officerecords_clerk ON " + table + " TO officerecords_clerk USING (" + own +
                          ") WITH CHECK (" + own + ")");
            out.push_back("GRANT SELECT, INSERT, UPDATE, DELETE ON " + table + " TO officerecords_clerk");
        }
        // A table of neither kind stays closed to clerks and supervisors.
    }
    out.push_back("ALTER TABLE tc_og_changelog ALTER COLUMN dbuser SET DEFAULT session_user");
    out.push_back(std::string("GRANT SELECT ON ") + k_version_table + " TO officerecords_clerk, officerecords_supervisor");
    // The chronicle numbers its entries from a sequence.
    out.push_back("GRANT USAGE ON ALL SEQUENCES IN SCHEMA " + schema + " TO officerecords_clerk");
    append(out, functions_sql(schema));
    return out;
}

std::string joined(const std::vector<std::string>& parts) {
    std::string out;
    for (const std::string& p : parts) out += (out.empty() ? "" : ",") + p;
    return out;
}

status run_in_write(transaction& tr, const std::string& sql, const std::vector<value>& params) {
    write_guard guard(tr);
    if (!guard.began()) return status::error(tr.sqlerrtext());
    if (tr.execute(sql, params) != sql_code::ok) return status::error(tr.sqlerrtext());
    if (guard.commit() != sql_code::ok) return status::error(tr.sqlerrtext());
    return status::ok();
}

}  // namespace

status secure_server_database(transaction& t) {
    const auto schema = t.select_value("SELECT quote_ident(current_schema())");
    if (!schema) return status::error("不能设置服务器上的账号和权限：" + t.sqlerrtext());
    for (const std::string& sql : security_sql(schema->to_text()))
        if (t.execute(sql) != sql_code::ok)
            return status::error("不能设置服务器上的账号和权限：" + sql.substr(0, 60) + "：" + t.sqlerrtext());
    return status::ok();
}

status add_account(transaction& t, const std::string& name, const std::string& password, account_kind kind,
                   const std::vector<std::string>& communities) {
    if (password.empty()) return status::error("密码不能为空");
    auto server = server_backend_module();
    if (!server) return status::error(server.message());
    auto verifier = (*server)->encrypt_password(t, name, password);
    if (!verifier) return status::error(verifier.message());
    return run_in_write(t, "SELECT officerecords_add_account(?, ?, ?, ?)",
                        {value(name), value(verifier.take()),
                         value(kind == account_kind::clerk ? "clerk" : "supervisor"), value(joined(communities))});
}

status set_communities(transaction& t, const std::string& name, const std::vector<std::string>& communities) {
    return run_in_write(t, "SELECT officerecords_set_communities(?, ?)", {value(name), value(joined(communities))});
}

status lock_account(transaction& t, const std::string& name, bool locked) {
    return run_in_write(t, "SELECT officerecords_lock_account(?, ?)", {value(name), value(locked ? "true" : "false")});
}

result<std::vector<account>> list_accounts(transaction& t) {
    auto rows = t.open_cursor("SELECT account, kind, communities, locked FROM officerecords_accounts()");
    if (!rows) return status::error(t.sqlerrtext());
    std::vector<account> out;
    while (rows->fetch()) {
        account a;
        a.name = std::string(rows->column_text(0));
        a.kind = rows->column_text(1) == "clerk" ? account_kind::clerk : account_kind::supervisor;
        std::string list(rows->column_text(2));
        for (std::size_t at = 0; !list.empty();) {
            const std::size_t comma = list.find(',', at);
            a.communities.push_back(list.substr(at, comma - at));
            if (comma == std::string::npos) break;
            at = comma + 1;
        }
        const std::string locked(rows->column_text(3));
        a.locked = locked == "t" || locked == "true" || locked == "1";
        out.push_back(std::move(a));
    }
    if (t.sqlcode() < 0) return status::error(t.sqlerrtext());
    return out;
}

result<bool> sees_every_row(transaction& t) {
    // row_security_active is false for the table's owner and a superuser.
    const auto v = t.select_value("SELECT NOT row_security_active('tc_ge_community')");
    if (!v) return status::error(t.sqlerrtext());
    if (v->is_integer()) return v->integer() != 0;
    const std::string s = v->to_text();
    return s == "t" || s == "true" || s == "1";
}

}  // namespace officerecords
