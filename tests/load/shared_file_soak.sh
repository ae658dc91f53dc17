#!/usr/bin/env bash
# One SQLite file, many programs, kills at random: workstations save in
# loops while other programs start and quit on the same file (the history,
# an export, a backup, the sqlite3 shell, a second workstation that saves
# once and quits), and every so often a workstation is killed with SIGKILL,
# which stands in for a power cut or a crash, and another one started.
# Afterwards every save a transcript acknowledged is in the file, the file
# passes integrity_check, and the history holds one entry for each saved
# record and none for a record that is not there.
#   shared_file_soak.sh CLI WORKDIR [KILLS] [SECONDS]
# Runs until KILLS workstations were killed (50) or SECONDS passed (50).
set -euo pipefail
cli="$1"
work="$2"
kills_wanted="${3:-50}"
seconds="${4:-50}"
stations=3
seed="${SOAK_SEED:-$$}"
RANDOM=$seed

rm -rf "$work"
mkdir -p "$work"
db="$work/office.db"
"$cli" init "$db" --demo >/dev/null

# A workstation's session: records added and one of them changed again and
# again, each save followed by what it saved, so that the transcript
# acknowledges exactly the saves that went through.
write_session() {
    local tag="$1" n="$2" i
    {
        echo "today 2026-12-08"
        for ((i = 1; i <= n; i++)); do
            printf 'open w_m_og_assetregister 添加\ntype goodsname %s-%d\ntype goodscount 1\nclick cb_save\nprint item goodsname\nprint item orderno\nclose\n' "$tag" "$i"
        done
    } >"$work/$tag.script"
}

launches=0
declare -A station_pid
start_station() {
    local slot="$1"
    launches=$((launches + 1))
    local tag="w${slot}x${launches}"
    write_session "$tag" 400
    "$cli" run "$work/$tag.script" --db "$db" --busy-timeout 20000 >"$work/$tag.out" 2>&1 &
    station_pid[$slot]=$!
}

# Programs that open the file and close it again while the others work.
others=0
visit() {
    others=$((others + 1))
    case $((RANDOM % 5)) in
        0) "$cli" history w_m_og_assetregister 1 --db "$db" >/dev/null 2>&1 || true ;;
        1) "$cli" export w_m_og_assetregister --db "$db" --format csv --out "$work/list.csv" --overwrite >/dev/null 2>&1 || true ;;
        2) rm -f "$work/copy.db"; "$cli" backup --db "$db" --out "$work/copy.db" >>"$work/backups.txt" 2>&1 || true ;;
        3) sqlite3 "$db" "SELECT count(*) FROM tc_og_assetregister; PRAGMA wal_checkpoint;" >/dev/null 2>&1 || true ;;
        4)
            local tag="v${others}"
            write_session "$tag" 1
            "$cli" run "$work/$tag.script" --db "$db" --busy-timeout 20000 >"$work/$tag.out" 2>&1 || true
            ;;
    esac
}

for ((s = 1; s <= stations; s++)); do start_station "$s"; done
kills=0
end=$((SECONDS + seconds))
while [ "$kills" -lt "$kills_wanted" ] && [ "$SECONDS" -lt "$end" ]; do
    visit
    visit
    slot=$((RANDOM % stations + 1))
    pid="${station_pid[$slot]}"
    if kill -0 "$pid" 2>/dev/null; then
        kill -9 "$pid" 2>/dev/null && kills=$((kills + 1))
    fi
    wait "$pid" 2>/dev/null || true
    start_station "$slot"
done
for ((s = 1; s <= stations; s++)); do
    kill -9 "${station_pid[$s]}" 2>/dev/null && kills=$((kills + 1))
    wait "${station_pid[$s]}" 2>/dev/null || true
done

# A damaged file makes the queries below fail: that is reported, not a
# reason to stop before saying so.
set +e
# The acknowledged saves: "goodsname = TAG-I" then "orderno = N". A killed
# workstation's transcript may end in the middle of a line (its output
# buffer was written out in blocks): "orderno = 1" of "orderno = 1234" is
# no acknowledgement, so a last line without its line feed is left out.
acknowledged="$work/acknowledged.txt"
for out in "$work"/*.out; do
    if [ -n "$(tail -c 1 "$out")" ]; then sed '$d' "$out"; else cat "$out"; fi
done | awk '/^goodsname = / { name = $3; next }
    /^orderno = [0-9]+$/ && name != "" { print name "|" $3 } { name = "" }' | sort >"$acknowledged"
stored="$work/stored.txt"
sqlite3 "$db" "SELECT goodsname || '|' || orderno FROM tc_og_assetregister" | sort >"$stored"
lost=$(comm -23 "$acknowledged" "$stored" | wc -l)
check="$(sqlite3 "$db" "PRAGMA integrity_check" 2>&1 | head -n 3)"
# Each record this run added has its one 新增 entry, and no entry speaks
# of a record that is not there.
# The records' keys are indexed first: matched row by row, the check took
# minutes once a fast run had saved some 40,000 records.
history_off="$(sqlite3 "$db" "
    CREATE TEMP TABLE record_keys AS
        SELECT 'commno=' || commno || ';orderno=' || orderno AS k FROM tc_og_assetregister;
    CREATE INDEX temp.record_keys_k ON record_keys (k);
    SELECT (SELECT count(*) FROM tc_og_assetregister a WHERE goodsname GLOB '[wv]*-*' AND
            (SELECT count(*) FROM tc_og_changelog c WHERE c.tablename = 'tc_og_assetregister' AND
             c.changekind = '新增' AND c.recordkey = 'commno=' || a.commno || ';orderno=' || a.orderno) <> 1)
         + (SELECT count(*) FROM tc_og_changelog c WHERE c.tablename = 'tc_og_assetregister' AND
            NOT EXISTS (SELECT 1 FROM record_keys r WHERE r.k = c.recordkey))
         + (SELECT count(*) FROM tc_og_changelog c WHERE NOT EXISTS
            (SELECT 1 FROM tc_og_changelog_item i WHERE i.logno = c.logno))")"
refused_backups=$(grep -c "^error" "$work/backups.txt" 2>/dev/null || true)
echo "seed $seed: $launches workstations, $kills killed, $others other programs;" \
    "$(wc -l <"$acknowledged") saves acknowledged, $lost lost; integrity_check: $check;" \
    "history entries out of step: $history_off; backups refused: $refused_backups"
status=0
if [ "$kills" -lt "$kills_wanted" ]; then echo "FAIL: only $kills kills in $seconds s" >&2; status=1; fi
if [ "$lost" -ne 0 ]; then
    echo "FAIL: acknowledged saves missing from the file:" >&2
    comm -23 "$acknowledged" "$stored" | head -n 10 >&2
    status=1
fi
if [ "$check" != ok ]; then echo "FAIL: integrity_check: $check" >&2; status=1; fi
if [ "$history_off" != 0 ]; then echo "FAIL: $history_off history entries out of step with the data" >&2; status=1; fi
if [ "$refused_backups" -ne 0 ]; then
    echo "FAIL: backups refused while workstations saved:" >&2
    grep "^error" "$work/backups.txt" | head -n 3 >&2
    status=1
fi
exit "$status"
