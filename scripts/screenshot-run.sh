#!/usr/bin/env bash
# Runs inside the virtual display for ./scripts/run: the test driver (built
# with only the main window's scenarios) starts the program, waits for its filled list and
# signals; the screenshot is taken here; then the driver closes the program
# through its close box and returns its exit code.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

signals="$ROOT/build/run-signals"
rm -rf "$signals" && mkdir -p "$signals"
start_wineserver
cd "$BUILD"
run_wine "$BUILD/tests/e2e/vantrel_screenshot.exe" screenshot "$BUILD/PelmoraVantrel.exe" "$signals" &
driver=$!
for _ in $(seq 1 600); do
  [[ -f "$signals/ready" ]] && break
  kill -0 "$driver" 2>/dev/null || break
  sleep 0.1
done
if [[ -f "$signals/ready" ]]; then
  import -window root "$ROOT/build/screenshot.png"
  echo "Screenshot: build/screenshot.png"
fi
touch "$signals/shot-taken"
wait "$driver"
status=$?
wineserver -k >/dev/null 2>&1 || true
exit $status
