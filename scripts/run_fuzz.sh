#!/usr/bin/env bash
# Runs a libFuzzer target for a while on a scratch copy of its seed corpus; fails when the fuzzer
# finds a crash, a leak, a timeout or an out-of-memory input (the input is kept in the scratch
# folder, whose path is printed).
#
# usage: run_fuzz.sh FUZZER CORPUS SECONDS
set -euo pipefail
fuzzer=${1:?usage: run_fuzz.sh FUZZER CORPUS SECONDS}
corpus=${2:?corpus folder}
seconds=${3:?seconds}
if [[ ! -x $fuzzer ]]; then
  echo "run_fuzz: $fuzzer is not built (make fuzz-build builds it)" >&2
  exit 1
fi
fuzzer=$(realpath "$fuzzer")
work=$(mktemp -d "${TMPDIR:-/tmp}/allsql-fuzz-XXXXXX")
cp -r "$corpus"/. "$work/corpus"
status=0
( cd "$work" && "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 corpus ) > "$work/fuzz.log" 2>&1 || status=$?
tail -n 15 "$work/fuzz.log"
if (( status != 0 )); then
  echo "run_fuzz: $fuzzer failed (exit $status); the log and the input are in $work" >&2
  exit "$status"
fi
rm -rf "$work"
