#!/usr/bin/env bash
# Window stage: the document window under its own Xvfb server, driven with XTest by test_shell.
# The server picks a free display itself (-displayfd writes its number back to us), listens on
# no TCP port and is stopped on exit. Screenshots of failing tests are kept in
# build/test/artifacts/window for CI to collect, with the server's log.
set -euo pipefail
cd "$(dirname "$0")/../.."

binary=build/test/tests/shell/test_shell
if [ ! -x "$binary" ]; then
  echo "window: $binary is not built"
  exit 1
fi
artifacts="$PWD/build/test/artifacts/window"
rm -rf "$artifacts"
mkdir -p "$artifacts"

# The server writes its display number and a newline to fd 3 once it accepts connections.
displayfile="$artifacts/display"
: >"$displayfile"
Xvfb -displayfd 3 -screen 0 1024x900x24 -nolisten tcp -noreset 3>"$displayfile" >"$artifacts/xvfb.log" 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true' EXIT
display=""
for _ in $(seq 1 300); do
  if [ "$(tail -c 1 "$displayfile")" = "" ] && [ -s "$displayfile" ]; then
    display=$(tr -dc '0-9' <"$displayfile")
    break
  fi
  if ! kill -0 "$xvfb" 2>/dev/null; then
    echo "window: Xvfb did not start"; cat "$artifacts/xvfb.log"; exit 1
  fi
  sleep 0.1
done
if [ -z "$display" ]; then
  echo "window: Xvfb named no display"; cat "$artifacts/xvfb.log"; exit 1
fi

status=0
DISPLAY=":$display" QV_ARTIFACT_DIR="$artifacts" SDL_VIDEODRIVER=x11 \
  LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp" \
  "$binary" --gtest_filter='*WindowTest.*:*WindowIntegrationTest.*' --gtest_brief=1 || status=$?
rm -f "$displayfile"
if [ "$status" -eq 0 ]; then
  rm -f "$artifacts"/*.png
else
  echo "window: screenshots in $artifacts"
fi
exit "$status"
