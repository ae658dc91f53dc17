#!/usr/bin/env bash
# The Debian package, installed where nobody may write, run by a user
# whose HOME and XDG folders are fresh: every scripted session that needs
# no server plays to its transcript from a working folder nobody may
# write, and the desktop program pictures a member with his photo. Then
# nothing new may be found outside the user's data, config and cache
# folders and the databases' folder.
#
#   read_only_install.sh PACKAGE_DIR SESSIONS_DIR WORK
#
# PACKAGE_DIR, or OFFICERECORDS_PACKAGE_DIR when set, holds
# officerecords_VERSION_amd64.deb (scripts/test.sh makes it of the build
# in build/package/, scripts/package.sh in build-package/package/);
# without one the test is skipped. As
# root, whom file modes do not stop, the programs run as the user nobody,
# or, where that is refused, over read-only bind mounts.
set -euo pipefail
package_dir=${OFFICERECORDS_PACKAGE_DIR:-$1}
sessions=$2
work=$3

deb=$(ls -t "$package_dir"/officerecords_*_amd64.deb 2>/dev/null | head -n 1 || true)
if [ -z "$deb" ]; then
    echo "skipped: no package officerecords_*_amd64.deb in $package_dir (scripts/package.sh builds it)"
    exit 0
fi
echo "package: $deb"

mounted=()
cleanup() {
    local m
    for m in "${mounted[@]}"; do umount "$m" 2>/dev/null || true; done
}
trap cleanup EXIT
# An earlier run's folders were left read-only.
[ ! -e "$work" ] || chmod -R u+w "$work"
rm -rf "$work"
mkdir -p "$work"
chmod 755 "$work"

root=$work/root            # the install
here=$work/here            # the working folder: the sessions' pictures, read-only
home=$work/home
data=$work/xdg-data
config=$work/xdg-config
cache=$work/xdg-cache
runtime=$work/runtime
tmp=$work/tmp
dbs=$work/databases        # each session's database, writable
scripts=$work/scripts
dpkg-deb -x "$deb" "$root"
mkdir -p "$here" "$home" "$data" "$config" "$cache" "$runtime" "$tmp" "$dbs" "$scripts"
cp "$sessions"/*.script "$sessions"/*.out "$scripts"/
[ ! -d "$sessions/files" ] || cp -R "$sessions/files/." "$here"/
chmod -R a+rX "$work"
chmod 700 "$runtime"
chmod -R a-w "$root" "$here"

# Who runs the programs, and what stops them writing.
runner=()
user=$(id -un)
if [ "$(id -u)" -eq 0 ]; then
    if setpriv --reuid=nobody --regid=nogroup --clear-groups true 2>/dev/null; then
        user=nobody
        runner=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
        chown -R nobody:nogroup "$home" "$data" "$config" "$cache" "$runtime" "$tmp" "$dbs"
    else
        for m in "$root" "$here"; do
            if ! mount --bind "$m" "$m" || ! mount -o remount,ro,bind "$m"; then
                echo "error: as root, neither running as nobody nor a read-only bind mount of $m is permitted" >&2
                exit 1
            fi
            mounted+=("$m")
        done
        echo "running as root over read-only bind mounts"
    fi
fi
echo "running as $user"

clerk() {
    "${runner[@]}" env -i PATH=/usr/bin:/bin LANG=C.UTF-8 HOME="$home" \
        XDG_DATA_HOME="$data" XDG_CONFIG_HOME="$config" XDG_CACHE_HOME="$cache" \
        XDG_RUNTIME_DIR="$runtime" TMPDIR="$tmp" QT_QPA_PLATFORM=offscreen "$@"
}
cli=$root/usr/bin/officerecords-cli
desk=$root/usr/bin/officerecords
[ -x "$cli" ] && [ -x "$desk" ] || { echo "error: the package has no /usr/bin/officerecords-cli or officerecords" >&2; exit 1; }

stamp=$work/stamp
touch "$stamp"
failed=0
played=0

# Every session, as tests/run_session.cmake plays it, from the read-only
# working folder.
for script in "$scripts"/*.script; do
    name=$(basename "$script" .script)
    only=$(grep -m1 '^# backend: ' "$script" || true)
    if [ -n "$only" ] && [ "$only" != "# backend: sqlite" ]; then continue; fi
    db=$dbs/$name/office.db
    clerk mkdir "$dbs/$name"
    if ! clerk "$cli" init "$db" --demo >/dev/null 2>"$work/init.err"; then
        echo "FAIL $name: init: $(cat "$work/init.err")"
        failed=1
        continue
    fi
    rc=0
    (cd "$here" && clerk "$cli" run "$script" --db "$db") >"$work/actual.out" 2>"$work/actual.err" || rc=$?
    if [ "$rc" -ne 0 ]; then
        printf '[exit %s]\n' "$rc" >>"$work/actual.out"
        cat "$work/actual.err" >>"$work/actual.out"
    fi
    if ! cmp -s "$scripts/$name.out" "$work/actual.out"; then
        echo "FAIL $name: the transcript differs from $name.out:"
        diff -u "$scripts/$name.out" "$work/actual.out" | head -n 40 || true
        failed=1
    fi
    played=$((played + 1))
done
echo "played $played sessions"

# The desktop program: the demo office made in the data folder, and a
# member with a photo pictured.
picture=$dbs/member.png
rc=0
(cd "$here" && clerk "$desk" --demo --screenshot "$picture" --open w_m_og_councilmemberinfo 修改 1) \
    >"$work/desk.out" 2>"$work/desk.err" || rc=$?
if [ "$rc" -ne 0 ] || [ ! -s "$picture" ]; then
    echo "FAIL the member's screenshot (status $rc):"
    cat "$work/desk.err"
    failed=1
fi
if grep -q '^message ' "$work/desk.err"; then
    echo "FAIL the member's window warned:"
    grep '^message ' "$work/desk.err"
    failed=1
fi
[ -f "$data/OfficeRecords/demo.db" ] || { echo "FAIL no demo database in the data folder"; failed=1; }
if ! ls "$cache"/OfficeRecords/bmp/cap_model.* >/dev/null 2>&1; then
    echo "FAIL the member's photo was not written to the cache"
    failed=1
fi

# Nothing outside the user's folders and the databases'.
outside=$(find "$root" "$here" "$home" "$tmp" "$runtime" "$scripts" -newer "$stamp" 2>/dev/null || true)
if [ "$user" = nobody ]; then
    outside+=$(find /tmp /var/tmp /dev/shm -xdev -path "$work" -prune -o -user nobody -newer "$stamp" -print 2>/dev/null || true)
fi
if [ -n "$outside" ]; then
    echo "FAIL written outside the user's data, config and cache folders and the databases' folder:"
    echo "$outside"
    failed=1
fi

if [ "$failed" -ne 0 ]; then
    echo "the folders are kept in $work"
    exit 1
fi
echo "the install was written nowhere: $played sessions and the member's screenshot"
cleanup
mounted=()
chmod -R u+w "$work"
rm -rf "$work"
