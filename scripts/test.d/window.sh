#!/usr/bin/env bash
# Window stage: the document window under its own Xvfb server (a free display number, its own
# auth-less socket, stopped on exit), driven with XTest by test_shell. Screenshots of failing
# tests are kept in build/test/artifacts/window for CI to collect.
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

# The first display number with no server and no stale lock.
display=""
for n in $(seq 90 140); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=$n; break; fi
done
if [ -z "$display" ]; then
  echo "window: no free X display number"
  exit 1
fi

Xvfb ":$display" -screen 0 1024x900x24 -nolisten tcp -noreset >"$artifacts/xvfb.log" 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true' EXIT
for _ in $(seq 1 100); do
  [ -e "/tmp/.X11-unix/X$display" ] && break
  if ! kill -0 "$xvfb" 2>/dev/null; then
    echo "window: Xvfb did not start"; cat "$artifacts/xvfb.log"; exit 1
  fi
  sleep 0.1
done

status=0
DISPLAY=":$display" QV_ARTIFACT_DIR="$artifacts" SDL_VIDEODRIVER=x11 \
  LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp" \
  "$binary" --gtest_filter='WindowTest.*' --gtest_brief=1 || status=$?
if [ "$status" -eq 0 ]; then
  rm -f "$artifacts"/*.png
else
  echo "window: screenshots in $artifacts"
fi
exit "$status"
