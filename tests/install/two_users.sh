#!/usr/bin/env bash
# Two clerks, two system users of one group, share the office's file in a
# folder set up as the README says (group-owned, setgid, mode 2770, the
# clerks' umask 0002). One makes the database; while his program still
# holds it open (its -wal and -shm are his), each saves a record through
# officerecords-cli run. Both records are there afterwards, and SQLite
# finds the file whole.
#
#   two_users.sh CLI WORK
#
# Needs root, to make the users and the group; skipped otherwise. Both,
# and the folder, are removed at the end whatever happens.
set -euo pipefail
cli=$1
work=$2

if [ "$(id -u)" -ne 0 ]; then
    echo "skipped: making two system users needs root"
    exit 0
fi
for tool in useradd groupadd userdel groupdel setpriv sqlite3 python3; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is missing"; exit 0; }
done

tag=$$
group=orgrp$tag
first=orclerka$tag
second=orclerkb$tag
holder=
cleanup() {
    [ -z "$holder" ] || kill "$holder" 2>/dev/null || true
    userdel "$first" 2>/dev/null || true
    userdel "$second" 2>/dev/null || true
    groupdel "$group" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
rm -rf "$work"
mkdir -p "$work"
chmod 755 "$work"

groupadd "$group"
for u in "$first" "$second"; do
    useradd -M -N -g nogroup -G "$group" -d /nonexistent -s /usr/sbin/nologin "$u"
done

# The program where both may run it; the office's folder as the README says.
install -m 755 "$cli" "$work/officerecords-cli"
office=$work/office
mkdir "$office"
chgrp "$group" "$office"
chmod 2770 "$office"
db=$office/office.db

as() {
    local u=$1
    shift
    (umask 0002 && setpriv --reuid="$u" --regid=nogroup --init-groups -- env -i PATH=/usr/bin:/bin \
        LANG=C.UTF-8 HOME=/nonexistent XDG_CACHE_HOME="$work/cache-$u" "$@")
}
mkdir "$work/cache-$first" "$work/cache-$second"
chown "$first" "$work/cache-$first"
chown "$second" "$work/cache-$second"

as "$first" "$work/officerecords-cli" init "$db" --demo >/dev/null

# The first clerk's program keeps the database open: the -wal and -shm
# beside it are his until it lets go.
mkfifo "$work/to-holder" "$work/from-holder"
as "$first" python3 -c '
import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
db.execute("SELECT count(*) FROM tc_ge_community").fetchone()
print("open", flush=True)
sys.stdin.readline()
db.close()
' "$db" <"$work/to-holder" >"$work/from-holder" &
holder=$!
exec 3>"$work/to-holder" 4<"$work/from-holder"
read -r said <&4
[ "$said" = open ] || { echo "FAIL the first clerk's program did not open the database"; exit 1; }

owner=$(stat -c %U "$db-shm" 2>/dev/null || true)
[ "$owner" = "$first" ] || { echo "FAIL the -shm beside the database is not the first clerk's (${owner:-none})"; exit 1; }

save() {
    local u=$1 name=$2
    cat >"$work/$u.script" <<EOF
open w_m_og_assetregister 添加
type assetsort 02
type goodsname $name
type goodscount 1
type originvalue 100.00
type purchasedate 2025-11-30
click cb_save
print item goodsname
close
EOF
    chmod 644 "$work/$u.script"
    local out
    out=$(cd "$work" && as "$u" "$work/officerecords-cli" run "$work/$u.script" --db "$db" 2>&1) || {
        echo "FAIL $u could not save: $out"
        exit 1
    }
    if grep -q '^message ' <<<"$out"; then
        echo "FAIL $u was warned: $out"
        exit 1
    fi
}
save "$first" 第一位的文件柜
save "$second" 第二位的文件柜

echo done >&3
exec 3>&- 4<&-
wait "$holder"
holder=

ls -l "$office"
for f in "$db" "$office/备份"; do
    [ -e "$f" ] || continue
    [ "$(stat -c %G "$f")" = "$group" ] || { echo "FAIL $f is not the group's"; exit 1; }
done
check=$(sqlite3 "$db" "PRAGMA integrity_check" \
    "SELECT goodsname FROM tc_og_assetregister WHERE goodsname LIKE '第_位的文件柜' ORDER BY goodsname")
expected=$'ok\n第一位的文件柜\n第二位的文件柜'
if [ "$check" != "$expected" ]; then
    echo "FAIL the shared database holds:"
    echo "$check"
    exit 1
fi
echo "both clerks saved into the shared file; integrity_check ok"
