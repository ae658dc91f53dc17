#!/usr/bin/env bash
# Starts or stops a throwaway PostgreSQL server for the tests, everything it
# owns in one directory:
#   pg-server.sh start DIR   initialises DIR/data, starts the server on a free
#                            port of 127.0.0.1, writes DIR/env, prints the URI
#   pg-server.sh stop DIR    stops it; nothing to do when it is not running
# start exits 3, after one line on stderr, when no server binary is installed,
# so that a caller can go on without the PostgreSQL cases.
set -euo pipefail

usage() {
    echo "usage: $0 start|stop DIR" >&2
    exit 2
}
[ $# -eq 2 ] || usage
command="$1"
dir="$2"

# The server refuses to run as root: as root, its files belong to postgres
# and it is run as postgres.
as=""
if [ "$(id -u)" -eq 0 ]; then
    as="postgres"
fi

# Runs a server program as the user the server runs as, from a directory
# that user can enter (root's working directory may be closed to it).
as_server() {
    if [ -n "$as" ]; then
        (cd / && runuser -u "$as" -- "$@")
    else
        (cd / && "$@")
    fi
}

# The highest installed Debian server version, else what pg_config names.
find_bindir() {
    local candidate best="" best_version=-1 version
    for candidate in /usr/lib/postgresql/*/bin; do
        [ -x "$candidate/initdb" ] && [ -x "$candidate/pg_ctl" ] && [ -x "$candidate/postgres" ] || continue
        version="$(basename "$(dirname "$candidate")")"
        version="${version%%.*}"
        [[ "$version" =~ ^[0-9]+$ ]] || continue
        if [ "$version" -gt "$best_version" ]; then
            best="$candidate"
            best_version="$version"
        fi
    done
    if [ -z "$best" ] && command -v pg_config >/dev/null; then
        candidate="$(pg_config --bindir 2>/dev/null || true)"
        if [ -n "$candidate" ] && [ -x "$candidate/initdb" ] && [ -x "$candidate/pg_ctl" ] && [ -x "$candidate/postgres" ]; then
            best="$candidate"
        fi
    fi
    printf '%s' "$best"
}

# A port nobody listens on at the moment; the start below retries on the
# rare race with another program taking it first.
free_port() {
    python3 -c 'import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])'
}

start() {
    local bindir port options attempt
    bindir="$(find_bindir)"
    if [ -z "$bindir" ]; then
        echo "PostgreSQL: no server binary found (apt package postgresql); the PostgreSQL cases are skipped" >&2
        exit 3
    fi
    mkdir -p "$dir"
    dir="$(cd "$dir" && pwd)"
    # The directory goes unquoted into the server's options and must be
    # short enough for a socket path.
    if [[ ! "$dir" =~ ^[A-Za-z0-9/._-]+$ ]] || [ ${#dir} -gt 80 ]; then
        echo "error: $dir: use a short directory name of letters, digits and ._-/" >&2
        exit 1
    fi
    if [ -e "$dir/data" ]; then
        echo "error: $dir/data exists already; stop that server and use a new directory" >&2
        exit 1
    fi
    if [ -n "$as" ]; then
        chown "$as": "$dir"
        if ! runuser -u "$as" -- test -w "$dir"; then
            echo "error: user $as cannot write $dir (is a parent directory closed to it?)" >&2
            exit 1
        fi
    fi

    local locale=(--locale=C.UTF-8)
    locale -a 2>/dev/null | grep -qix 'c\.utf-\?8' || locale=(--no-locale)
    if ! as_server "$bindir/initdb" -D "$dir/data" -U postgres --encoding=UTF8 "${locale[@]}" \
            --auth=trust >"$dir/initdb.log" 2>&1; then
        cat "$dir/initdb.log" >&2
        echo "error: initdb failed" >&2
        exit 1
    fi
    # Only the socket in DIR and loopback TCP are let in. The test runs'
    # administrator needs no password; every other login (the clerks the
    # tests create) gives its own, as on an office's server.
    as_server sh -c 'cat >"$1"' sh "$dir/data/pg_hba.conf" <<'EOF'
local all postgres trust
host all postgres 127.0.0.1/32 trust
local all all scram-sha-256
host all all 127.0.0.1/32 scram-sha-256
EOF

    for attempt in 1 2 3 4 5; do
        port="$(free_port)"
        options="-c listen_addresses=127.0.0.1 -p $port -c unix_socket_directories=$dir -c fsync=on"
        if as_server "$bindir/pg_ctl" -D "$dir/data" -o "$options" -l "$dir/server.log" -w start >/dev/null; then
            break
        fi
        if [ "$attempt" -eq 5 ] || ! grep -q "could not bind\|Address already in use" "$dir/server.log" 2>/dev/null; then
            tail -n 20 "$dir/server.log" >&2 2>/dev/null || true
            echo "error: the PostgreSQL server did not start (log: $dir/server.log)" >&2
            exit 1
        fi
    done

    local uri="postgresql://postgres@127.0.0.1:$port/postgres"
    {
        echo "OFFICERECORDS_PG_URI=$uri"
        echo "OFFICERECORDS_PG_BIN=$bindir"
        echo "OFFICERECORDS_PG_CTL=$bindir/pg_ctl"
        echo "OFFICERECORDS_PG_DATA=$dir/data"
        echo "OFFICERECORDS_PG_OPTIONS='$options'"
        echo "OFFICERECORDS_PG_LOG=$dir/server.log"
        echo "OFFICERECORDS_PG_AS=$as"
    } >"$dir/env"
    chmod 644 "$dir/env"
    echo "$uri"
}

stop() {
    [ -d "$dir/data" ] || exit 0
    local pg_ctl=""
    if [ -r "$dir/env" ]; then
        pg_ctl="$(sed -n 's/^OFFICERECORDS_PG_CTL=//p' "$dir/env")"
    fi
    if [ -z "$pg_ctl" ]; then
        local bindir
        bindir="$(find_bindir)"
        [ -n "$bindir" ] || exit 0
        pg_ctl="$bindir/pg_ctl"
    fi
    # pg_ctl status says 3 when no server runs on the directory.
    as_server "$pg_ctl" -D "$dir/data" status >/dev/null 2>&1 || exit 0
    as_server "$pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null
}

case "$command" in
    start) start ;;
    stop) stop ;;
    *) usage ;;
esac
