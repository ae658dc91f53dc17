#!/usr/bin/env bash
# Several workstations adding records to one database at once: P command-line
# programs, each saving K new assets, for P in 2, 4 and 8. Every save must
# succeed, every record must be there, and no two may share a number.
#   many_workstations.sh CLI sqlite|postgresql WORKDIR [K]
# For postgresql the server is the one of OFFICERECORDS_PG_URI (its postgres
# database); without it the case is skipped. There the workstations are two
# clerks' logins, of two communities, taking turns: each sees only his own
# community's records, and still no two records may share a number. Prints
# the wall time of each run.
set -euo pipefail
export PGOPTIONS="-c client_min_messages=warning"
cli="$1"
backend="$2"
work="$3"
k="${4:-1000}"

if [ "$backend" = postgresql ] && [ -z "${OFFICERECORDS_PG_URI:-}" ]; then
    echo "skipped: no PostgreSQL server (OFFICERECORDS_PG_URI not set)"
    exit 0
fi
rm -rf "$work"
mkdir -p "$work"
script="$work/adds.script"
{
    echo "today 2026-12-08"
    for ((i = 1; i <= k; i++)); do
        printf 'open w_m_og_assetregister 添加\ntype goodsname 文件柜%d\ntype goodscount 1\nclick cb_save\nclose\n' "$i"
    done
} >"$script"

count_sql="SELECT count(*), count(DISTINCT orderno), max(orderno) FROM tc_og_assetregister"
for p in 2 4 8; do
    if [ "$backend" = postgresql ]; then
        name="load_$$_$p"
        db="${OFFICERECORDS_PG_URI%/postgres}/$name"
        psql -X -q -v ON_ERROR_STOP=1 "$OFFICERECORDS_PG_URI" -c "DROP DATABASE IF EXISTS $name WITH (FORCE)" -c "CREATE DATABASE $name"
        query() { psql -X -q -A -t -F'|' "$db" -c "$1"; }
    else
        db="$work/office-$p.db"
        query() { sqlite3 "$db" "$1"; }
    fi
    "$cli" init "$db" --demo >/dev/null
    logins=("$db" "$db")
    if [ "$backend" = postgresql ]; then
        port_and_rest="${db#*@}"
        for c in 1 2; do
            clerk="${name}_clerk$c"
            psql -X -q "$OFFICERECORDS_PG_URI" -c "DROP ROLE IF EXISTS $clerk"
            echo "pw-$clerk" | "$cli" account add "$clerk" --db "$db" --communities "42010600100$c" >/dev/null
            logins[$((c - 1))]="postgresql://$clerk:pw-$clerk@$port_and_rest"
        done
    fi
    before="$(query "SELECT count(*) FROM tc_og_assetregister")"
    start=$(date +%s.%N)
    pids=()
    for ((w = 1; w <= p; w++)); do
        "$cli" run "$script" --db "${logins[$((w % 2))]}" >"$work/out-$p-$w.txt" 2>&1 &
        pids+=($!)
    done
    failed=0
    for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
    end=$(date +%s.%N)
    # A message in a transcript is a save that did not go through.
    if [ "$failed" -ne 0 ] || grep -l "^message\|^error" "$work"/out-"$p"-*.txt >/dev/null; then
        echo "FAIL: $p workstations: a save failed" >&2
        grep -h -m3 "^message\|^error" "$work"/out-"$p"-*.txt >&2 || true
        exit 1
    fi
    got="$(query "$count_sql")"
    total=$((before + p * k))
    if [ "$got" != "$total|$total|$total" ]; then
        echo "FAIL: $p workstations: expected $total records numbered 1..$total, found (count|distinct|max) $got" >&2
        exit 1
    fi
    awk -v b="$backend" -v p="$p" -v k="$k" -v s="$start" -v e="$end" \
        'BEGIN { printf "%s: %d workstations x %d records: %.2f s\n", b, p, k, e - s }'
    if [ "$backend" = postgresql ]; then
        # Each clerk added his own community's records.
        per="$(query "SELECT string_agg(n::text, '|' ORDER BY commno) FROM (SELECT commno, count(*) AS n FROM tc_og_assetregister WHERE goodsname LIKE '文件柜%' GROUP BY commno) c")"
        expected="$(( (p / 2) * k ))|$(( (p - p / 2) * k ))"
        if [ "$per" != "$expected" ]; then
            echo "FAIL: $p workstations: expected new records per community $expected, found $per" >&2
            exit 1
        fi
        psql -X -q "$OFFICERECORDS_PG_URI" -c "DROP DATABASE $name WITH (FORCE)" \
            -c "DROP ROLE IF EXISTS ${name}_clerk1" -c "DROP ROLE IF EXISTS ${name}_clerk2"
    fi
done
