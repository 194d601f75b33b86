#!/usr/bin/env bash
# Builds the libFuzzer targets of the portable code with clang and runs each
# in turn, then prints a table of executions, speed and coverage.
#
#   tools/fuzz.sh              each target for 10 million executions
#   tools/fuzz.sh 60           each target for 60 seconds
#   tools/fuzz.sh --short      each target for 20 seconds (run by scripts/test.sh)
#   tools/fuzz.sh 60 version   only the named targets
#
# Found inputs are kept in build/fuzz/corpus/<target> and reused by the next
# run; a crash or a broken check leaves its input in build/fuzz/artifacts/ and
# makes the exit status 1.
set -uo pipefail
cd "$(dirname "$0")/.."

limit=(-runs=10000000)
case "${1:-}" in
  --short) limit=(-max_total_time=20); shift ;;
  '') ;;
  -*) echo "usage: tools/fuzz.sh [seconds | --short] [target...]" >&2; exit 2 ;;
  *[!0-9]*) ;;  # a target name
  *) limit=(-max_total_time="$1"); shift ;;
esac
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(command_mode verify_arguments admin_target installer_command message_format version transfer_headers)

build=build/fuzz
if ! command -v clang++ >/dev/null; then
  echo "clang++ is missing: run scripts/install-deps.sh" >&2
  exit 1
fi
cmake -S tests/fuzz -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null || exit 1
nice cmake --build "$build" -j2 >/dev/null || { nice cmake --build "$build" -j1; exit 1; }

# Seeds are made afresh from the unit tests each time.
rm -rf "$build/seeds"
python3 tests/fuzz/make_seeds.py "$build/seeds" || exit 1
mkdir -p "$build/artifacts" "$build/logs"

# The one fuzzer running at a time is stopped with this script.
child=""
trap '[ -n "$child" ] && kill "$child" 2>/dev/null; exit 130' INT TERM

status=0
rows=()

# Controls: a broken check and a read past the end of a text must each fail
# in this build, and a clean input must pass; otherwise no result below means
# anything.
control() {  # <input> <expected exit: 0 or fail> <text the log must hold>
  local input="$build/logs/control-$1" log="$build/logs/control-$1.log" rc
  printf '%s' "$1" >"$input"
  "$build/fuzz_control" "$input" >"$log" 2>&1
  rc=$?
  if { [ "$2" = 0 ] && [ $rc -ne 0 ]; } || { [ "$2" = fail ] && { [ $rc -eq 0 ] || ! grep -q "$3" "$log"; }; }; then
    echo "control '$1' did not come out as expected ($2, exit $rc); see $log" >&2
    controls=FAILED
    status=1
  fi
}
controls=ok
control cxy fail 'check failed'
control oxy fail 'AddressSanitizer: heap-buffer-overflow'
control gxy 0 ''
for t in "${targets[@]}"; do
  exe="$build/fuzz_$t"
  [ -x "$exe" ] || { echo "no fuzz target '$t'" >&2; status=1; continue; }
  corpus="$build/corpus/$t"
  log="$build/logs/$t.log"
  mkdir -p "$corpus"
  dict=()
  [ -f "$build/seeds/$t.dict" ] && dict=(-dict="$build/seeds/$t.dict")
  echo "fuzzing $t ..."
  start=$SECONDS
  # Command lines and messages are short: longer inputs only slow the search.
  nice "$exe" "${limit[@]}" -max_len=512 -timeout=10 -print_final_stats=1 "${dict[@]}" \
    -artifact_prefix="$build/artifacts/$t-" "$corpus" "$build/seeds/$t" >"$log" 2>&1 &
  child=$!
  wait "$child"
  rc=$?
  child=""
  elapsed=$((SECONDS - start))

  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n1)
  last=$(grep -E '^#[0-9]+.*cov: [0-9]+' "$log" | tail -n1)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  result=ok
  if [ $rc -ne 0 ]; then
    result=FAILED
    status=1
    echo "--- $t failed (exit $rc); the end of $log:" >&2
    grep -E 'check failed|ERROR: |SUMMARY|runtime error|Test unit written' "$log" >&2 || tail -n 30 "$log" >&2
  fi
  rows+=("$(printf '%-18s %-7s %12s %10s %6s %6s %6s' "$t" "$result" "${execs:-?}" "${speed:-?}" "${cov:-?}" "${ft:-?}" "$elapsed")")
done

echo
echo "controls (a broken check and an overrun are caught, a clean input passes): $controls"
printf '%-18s %-7s %12s %10s %6s %6s %6s\n' target result executions exec/s cov ft s
for r in "${rows[@]}"; do echo "$r"; done
exit $status
