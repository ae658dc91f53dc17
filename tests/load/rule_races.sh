#!/usr/bin/env bash
# Rules that count other records, raced: in each run three workstations save
# at the same moment what only one of them may save. Exactly one save must
# pass and the others be refused with the rule's own message, in every run.
#   rule_races.sh CLI sqlite|postgresql WORKDIR [RUNS]
# The rules: a body's name once per term; one holder of the guarded duty
# per term among the committee members; one per body among its members.
# For postgresql the server is the one of OFFICERECORDS_PG_URI; without it
# the case is skipped.
set -euo pipefail
export PGOPTIONS="-c client_min_messages=warning"
cli="$1"
backend="$2"
work="$3"
runs="${4:-30}"

if [ "$backend" = postgresql ] && [ -z "${OFFICERECORDS_PG_URI:-}" ]; then
    echo "skipped: no PostgreSQL server (OFFICERECORDS_PG_URI not set)"
    exit 0
fi
rm -rf "$work"
mkdir -p "$work"
if [ "$backend" = postgresql ]; then
    name="races_$$"
    db="${OFFICERECORDS_PG_URI%/postgres}/$name"
    psql -X -q -v ON_ERROR_STOP=1 "$OFFICERECORDS_PG_URI" -c "DROP DATABASE IF EXISTS $name WITH (FORCE)" -c "CREATE DATABASE $name"
    trap 'psql -X -q "$OFFICERECORDS_PG_URI" -c "DROP DATABASE IF EXISTS $name WITH (FORCE)"' EXIT
    query() { psql -X -q -A -t -v ON_ERROR_STOP=1 "$db" -c "$1"; }
else
    db="$work/office.db"
    query() { sqlite3 -bail "$db" "$1"; }
fi
"$cli" init "$db" --demo >/dev/null
# On the server the workstations are a clerk of the demo community, on his
# own login; the checks here stand for the administrator.
login="$db"
if [ "$backend" = postgresql ]; then
    clerk="${name}_clerk"
    psql -X -q "$OFFICERECORDS_PG_URI" -c "DROP ROLE IF EXISTS $clerk"
    echo "pw-$clerk" | "$cli" account add "$clerk" --db "$db" --communities 420106001001 >/dev/null
    trap 'psql -X -q "$OFFICERECORDS_PG_URI" -c "DROP DATABASE IF EXISTS $name WITH (FORCE)" -c "DROP ROLE IF EXISTS $clerk"' EXIT
    login="postgresql://$clerk:pw-$clerk@${db#*@}"
fi

# Member 1 holds the guarded duty of term 06, and person 2 that of body 1:
# both are moved to another duty before each run, so the first save of
# the run is the one that may pass.
reset_members() {
    query "UPDATE tc_og_councilmemberinfo SET duty = '13' WHERE falldue = '06'" >/dev/null
}
reset_body() {
    query "UPDATE tc_og_councilorgmember SET duty = '13' WHERE orgno = 1" >/dev/null
}

# Plays the three scripts at once; prints how many saves passed and how
# many were refused with the expected message, as "passed refused".
race() {
    local run="$1" message="$2"
    shift 2
    local pids=() w
    for w in 1 2 3; do
        "$cli" run "$work/$run-$w.script" --db "$login" >"$work/$run-$w.out" 2>&1 &
        pids+=($!)
    done
    local failed=0
    for w in "${pids[@]}"; do wait "$w" || failed=1; done
    if [ "$failed" -ne 0 ]; then
        echo "FAIL: $run: a workstation stopped with an error" >&2
        cat "$work/$run"-*.out >&2
        exit 1
    fi
    local passed refused
    passed=$(cat "$work/$run"-*.out | grep -c "modified=0" || true)
    refused=$(cat "$work/$run"-*.out | grep -c -F "$message" || true)
    echo "$passed $refused"
}

bypasses=0
check() {
    local what="$1" run="$2" counted="$3" outcome="$4"
    if [ "$counted" != 1 ] || [ "$outcome" != "1 2" ]; then
        echo "FAIL: $what, run $run: $counted saved, passed/refused $outcome" >&2
        cat "$work/$run"-*.out >&2
        bypasses=$((bypasses + 1))
    fi
}

for ((r = 1; r <= runs; r++)); do
    # One body's name per term: three workstations add the same body.
    for w in 1 2 3; do
        printf 'today 2026-12-08\nopen w_m_og_councilorgduty 添加\ntype falldue 06\ntype orgname 竞赛委员会%d\ntype organtype %s\nclick cb_save\nprint window\n' \
            "$r" "$(query "SELECT tcode FROM tc_ge_code WHERE codetable = 'dddw_og_organtype' ORDER BY tcode LIMIT 1")" \
            >"$work/names$r-$w.script"
    done
    outcome="$(race "names$r" "已存在相同名称与届次的居委会组织机构，不能重复录入！")"
    check "names" "names$r" "$(query "SELECT count(*) FROM tc_og_councilorgduty WHERE orgname = '竞赛委员会$r'")" "$outcome"

    # One holder of the guarded duty per term: members 2, 3 and 4 of term
    # 06 each take it.
    reset_members
    for w in 1 2 3; do
        printf 'today 2026-12-08\nopen w_m_og_councilmemberinfo 修改 %d\ntype duty 11\nclick cb_save\nprint window\n' \
            "$((w + 1))" >"$work/members$r-$w.script"
    done
    outcome="$(race "members$r" "同一届居委会成员中，不能有两个【职务:】为")"
    check "members" "members$r" "$(query "SELECT count(*) FROM tc_og_councilmemberinfo WHERE falldue = '06' AND duty = '11'")" "$outcome"

    # One holder per body: the three members of body 1 each take it.
    reset_body
    for w in 1 2 3; do
        printf 'today 2026-12-08\nopen w_m_og_councilorgmember 修改 %d\ntype duty 11\nclick cb_save\nprint window\n' \
            "$w" >"$work/body$r-$w.script"
    done
    outcome="$(race "body$r" "同一个居委会组织机构中，不能有两个【机构中职务:】为")"
    check "body" "body$r" "$(query "SELECT count(*) FROM tc_og_councilorgmember WHERE orgno = 1 AND duty = '11'")" "$outcome"
done
echo "$backend: $runs runs of each of 3 rules, 3 workstations each: $bypasses bypasses"
[ "$bypasses" -eq 0 ]

# Photos: three albums of one activity add ten photos each at once. Each
# save numbers its photo and its history entry under the write lock, so
# every save passes and no two share a number.
cp "$(dirname "$0")/../sessions/files/photo_a.bmp" "$work/"
for w in 1 2 3; do
    {
        printf 'today 2026-12-08\nopen w_m_og_commactivityrecord 修改 1\nclick cb_photo\n'
        for ((i = 1; i <= 10; i++)); do
            printf 'file photo_a.bmp\nclick cb_new\ntype sle_note 照片%d-%d\nclick cb_save\n' "$w" "$i"
        done
    } >"$work/photos-$w.script"
done
pids=()
for w in 1 2 3; do
    (cd "$work" && "$cli" run "photos-$w.script" --db "$login" >"photos-$w.out" 2>&1) &
    pids+=($!)
done
for pid in "${pids[@]}"; do wait "$pid" || true; done
saved=$(cat "$work"/photos-*.out | grep -c "照片数据保存成功" || true)
stored="$(query "SELECT count(*) || '|' || count(DISTINCT PhotoNo) FROM TS_CommActivePhoto WHERE OrderNo = 1 AND PhotoNote LIKE '照片%'")"
logged="$(query "SELECT count(*) FROM tc_og_changelog WHERE tablename = 'TS_CommActivePhoto' AND changekind = '新增'")"
echo "$backend: 3 albums saving 10 photos each at once: $saved saved, stored (count|distinct) $stored, $logged history entries"
if [ "$saved" != 30 ] || [ "$stored" != "30|30" ] || [ "$logged" != 30 ]; then
    echo "FAIL: concurrent photo saves" >&2
    grep -h -v "照片数据保存成功\|^open\|^dialog" "$work"/photos-*.out | head -n 5 >&2
    exit 1
fi
