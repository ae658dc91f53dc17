# Sourced by a script that wants a PostgreSQL server of its own for as long
# as it runs: starts one in a temporary folder (scripts/pg-server.sh),
# exports its connection (OFFICERECORDS_PG_URI and the PG* variables) and
# stops it however the script ends. Without a server installed the
# variables stay unset and the server's cases are left out.
pg_dir="$(mktemp -d)"
stop_pg() {
    "$root/scripts/pg-server.sh" stop "$pg_dir" || true
    rm -rf "$pg_dir"
}
trap stop_pg EXIT
# An interrupted run still stops the server, through the EXIT trap.
trap 'exit 130' INT
trap 'exit 143' TERM
pg_status=0
pg_uri="$("$root/scripts/pg-server.sh" start "$pg_dir")" || pg_status=$?
if [ "$pg_status" -eq 0 ]; then
    echo "PostgreSQL of this run: $pg_uri"
    set -a
    . "$pg_dir/env"
    set +a
elif [ "$pg_status" -ne 3 ]; then
    exit "$pg_status"
fi
