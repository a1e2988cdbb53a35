#!/usr/bin/env bash
# The update dialog from start to end, without a display: starts the stand-in results service
# on a free loopback port, runs allsql-host on a fresh database directory with the console dialog
# and a scripted session (Pobierz, Wykonaj, Pobierz again, Zamknij), and stops the service.
# Editor contents longer than a screen are shortened in the output.
#
# usage: demo.sh BUILD_DIR [LIBRARY]     (LIBRARY defaults to the test plug-in library)
set -euo pipefail
build=${1:?usage: demo.sh BUILD_DIR [LIBRARY]}
library=${2:-$build/tests/plugin/liballsql.so}
service=$build/tools/results-service/results-service
host=$build/tools/allsql-host/allsql-host
for f in "$service" "$host" "$library"; do
  [[ -e $f ]] || { echo "demo: $f is missing; build first" >&2; exit 1; }
done

work=$(mktemp -d)
service_pid=
cleanup() {
  [[ -n $service_pid ]] && kill "$service_pid" 2>/dev/null && wait "$service_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

mkfifo "$work/port"
"$service" --port 0 > "$work/port" 2> "$work/service.log" &
service_pid=$!
read -r word port < "$work/port"
[[ $word == port ]] || { echo "demo: the results service did not start" >&2; exit 1; }
mkdir "$work/games"
echo "results service on 127.0.0.1:$port; database directory $work/games"
echo

printf 'pobierz\nwykonaj\npobierz\nzamknij\n' |
  ALLSQL_UI=console ALLSQL_SERVICE=127.0.0.1:$port "$host" --library "$library" "$work/games" |
  awk -v max=24 '
    /^\| / { if (++shown <= max) print; else hidden++; next }
    { if (hidden) printf "| ... %d more lines\n", hidden; shown = 0; hidden = 0 }
    /^== status: (Odebrano|Wykonano)/ { last_progress = $0; next }
    { if (last_progress != "") { print last_progress; last_progress = "" } print }
    END { if (last_progress != "") print last_progress }'
