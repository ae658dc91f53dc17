#!/usr/bin/env bash
# A street office's report over the registers, made with ordinary tools and
# not with the program: Python's sqlite3 module over the SQLite file, psql
# over the server. Both hold the same records, some amounts with cents
# saved by the program; the sums, the largest amounts and a count per
# community and year must be the same figures.
#   report_by_other_tools.sh CLI WORKDIR
set -euo pipefail
export PGOPTIONS="-c client_min_messages=warning"
cli="$1"
work="$2"
if [ -z "${OFFICERECORDS_PG_URI:-}" ]; then
    echo "skipped: no PostgreSQL server (OFFICERECORDS_PG_URI not set)"
    exit 0
fi
rm -rf "$work"
mkdir -p "$work"
file="$work/office.db"
name="report_$$"
server="${OFFICERECORDS_PG_URI%/postgres}/$name"
psql -X -q -v ON_ERROR_STOP=1 "$OFFICERECORDS_PG_URI" -c "DROP DATABASE IF EXISTS $name WITH (FORCE)" -c "CREATE DATABASE $name"
trap 'psql -X -q "$OFFICERECORDS_PG_URI" -c "DROP DATABASE IF EXISTS $name WITH (FORCE)"' EXIT

# The same records on both, and the same amounts with cents saved through
# the record windows.
cat >"$work/cents.script" <<'EOF'
today 2026-12-08
open w_m_og_incomemoneyrecord 修改 1
type moneysum 0.10
click cb_save
close
open w_m_og_incomemoneyrecord 修改 2
type moneysum 0.20
click cb_save
close
open w_m_og_moneyoutgorecord 修改 1
type moneysum 1234.56
click cb_save
close
open w_m_og_assetregister 修改 1
type originvalue 9,999,999,999,999.99
click cb_save
close
EOF
for db in "$file" "$server"; do
    "$cli" init "$db" --demo >/dev/null
    "$cli" run "$work/cents.script" --db "$db" >"$work/cents.out"
    if grep -q "^message" "$work/cents.out"; then
        echo "FAIL: a save of the amounts was refused on $db" >&2
        cat "$work/cents.out" >&2
        exit 1
    fi
done

# Each report as each tool is asked for it, and which of its columns are
# amounts (printed with two decimals, whatever type the tool gives them).
python3 - "$file" "$server" "$work" <<'EOF'
import sqlite3, subprocess, sys
file, server, work = sys.argv[1:4]
reports = [
    ("SELECT commno, substr(recorddate, 1, 4), sum(moneysum), max(moneysum), count(*) "
     "FROM tc_og_incomemoneyrecord GROUP BY 1, 2 ORDER BY 1, 2",
     "SELECT commno, to_char(recorddate, 'YYYY'), sum(moneysum), max(moneysum), count(*) "
     "FROM tc_og_incomemoneyrecord GROUP BY 1, 2 ORDER BY 1, 2", {2, 3}),
    ("SELECT commno, substr(recorddate, 1, 4), sum(moneysum), max(moneysum), count(*) "
     "FROM tc_og_moneyoutgorecord GROUP BY 1, 2 ORDER BY 1, 2",
     "SELECT commno, to_char(recorddate, 'YYYY'), sum(moneysum), max(moneysum), count(*) "
     "FROM tc_og_moneyoutgorecord GROUP BY 1, 2 ORDER BY 1, 2", {2, 3}),
    ("SELECT commno, sum(originvalue), max(originvalue), min(originvalue), avg(originvalue), count(*) "
     "FROM tc_og_assetregister GROUP BY 1 ORDER BY 1", None, {1, 2, 3, 4}),
    ("SELECT commno, count(*) FROM tc_og_assetregister WHERE originvalue > 1000 GROUP BY 1 ORDER BY 1",
     None, set()),
]
def shown(row, amounts):
    return "|".join(f"{float(v):.2f}" if i in amounts else str(v) for i, v in enumerate(row))
db = sqlite3.connect(file)
lines = {"sqlite": [], "server": []}
for lite, pg, amounts in reports:
    lines["sqlite"] += [shown(row, amounts) for row in db.execute(lite)]
    out = subprocess.run(["psql", "-X", "-q", "-A", "-t", "-F|", "-v", "ON_ERROR_STOP=1", server, "-c", pg or lite],
                         check=True, capture_output=True, text=True).stdout
    lines["server"] += [shown(line.split("|"), amounts) for line in out.splitlines() if line]
for tool, found in lines.items():
    with open(f"{work}/{tool}.txt", "w", encoding="utf-8") as f:
        f.write("\n".join(found) + "\n")
EOF
if ! diff -u "$work/server.txt" "$work/sqlite.txt"; then
    echo "FAIL: the SQLite file's report differs from the server's (above: - server, + SQLite)" >&2
    exit 1
fi
echo "the same $(wc -l <"$work/sqlite.txt") report lines from Python's sqlite3 module and from psql:"
cat "$work/sqlite.txt"
