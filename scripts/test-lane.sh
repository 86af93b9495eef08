#!/usr/bin/env bash
# One lane of ./scripts/test, run on a virtual display of its own with the Wine
# prefix in $WINEPREFIX: it takes the next test of a built tree (the longest
# left first), runs it alone with CTest, and goes on until no test is left.
# Each test's output and JUnit result go to build/test-runs/<arch>/<test>.txt
# and .xml. Exits 1 when any test it ran failed.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
QUEUES="$ROOT/build/shards"
RUNS="$ROOT/build/test-runs"

# Sets $claimed to "<arch> <test>", the test taken off its tree's queue: of
# the trees whose queue is open (<arch>.queued), the one whose next test is the
# longest. Waits while a tree may still add tests (neither <arch>.done nor
# <arch>.failed); false when nothing is left.
claim_test() {
  claimed=""
  while :; do
    local waiting=0 best="" best_head="" arch head
    {
      flock 9
      for arch in "${ARCHES[@]}"; do
        if [[ ! -e "$QUEUES/$arch.done" && ! -e "$QUEUES/$arch.failed" ]]; then
          waiting=1
        fi
        [[ -e "$QUEUES/$arch.queued" ]] || continue
        head="$(head -n 1 "$QUEUES/queue-$arch")"
        [[ -n "$head" ]] || continue
        if [[ -z "$best" ]] || ((${head%% *} > ${best_head%% *})); then
          best="$arch" best_head="$head"
        fi
      done
      if [[ -n "$best" ]]; then
        claimed="$best ${best_head#* }"
        sed -i 1d "$QUEUES/queue-$best"
      fi
    } 9>"$QUEUES/lock"
    [[ -z "$claimed" ]] || return 0
    ((waiting)) || return 1
    sleep 0.2
  done
}

start_wineserver
keep_desktop_up
status=0
while claim_test; do
  arch="${claimed%% *}" name="${claimed#* }"
  # The order the lane's prefix saw, for a test that fails only after another.
  echo "$(date +%T) $arch $name"
  ctest --test-dir "$ROOT/build/$arch" -R "^${name//./\\.}\$" --output-on-failure --timeout 120 \
    --output-junit "$RUNS/$arch/$name.xml" >"$RUNS/$arch/$name.txt" 2>&1 || status=1
done
wineserver -k >/dev/null 2>&1 || true
exit $status
