#!/usr/bin/env bash
# Several workstations adding records to one database at once: P command-line
# programs, each saving K new assets, for P in 2, 4 and 8. Every save must
# succeed, every record must be there, and no two may share a number.
#   many_workstations.sh CLI sqlite|postgresql WORKDIR [K]
# For postgresql the server is the one of OFFICERECORDS_PG_URI (its postgres
# database); without it the case is skipped. Prints the wall time of each run.
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
    before="$(query "SELECT count(*) FROM tc_og_assetregister")"
    start=$(date +%s.%N)
    pids=()
    for ((w = 1; w <= p; w++)); do
        "$cli" run "$script" --db "$db" >"$work/out-$p-$w.txt" 2>&1 &
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
        psql -X -q "$OFFICERECORDS_PG_URI" -c "DROP DATABASE $name WITH (FORCE)"
    fi
done
