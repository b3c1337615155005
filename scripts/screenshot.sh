#!/usr/bin/env bash
# Takes a screenshot of Tervana's window in a virtual X server.
#   scripts/screenshot.sh OUTPUT.png [PICTURE]
# With PICTURE, the script opens it first through the window's Open dialog,
# so the preview shows it.
set -euo pipefail
cd "$(dirname "$0")/.."
output=$(realpath -m "${1:-docs/screenshot.png}")
picture=${2:-}

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 800x600x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $tervana $xvfb 2>/dev/null || true; rm -rf "${config:-}"' EXIT
export DISPLAY=$display
# The file dialog remembers its state in the user's configuration; keep
# the screenshot's run out of the real one.
config=$(mktemp -d)
export XDG_CONFIG_HOME=$config
sleep 1
build/tervana >/dev/null 2>&1 &
tervana=$!
window=$(xdotool search --sync --name '^Tervana$' | head -n 1)
sleep 1
if [ -n "$picture" ]; then
    # The centre of "Apri" inside the window.
    xdotool mousemove --window "$window" 149 156 click 1
    dialog=$(xdotool search --sync --onlyvisible --name 'Apri file Immagine' | head -n 1)
    sleep 0.5
    xdotool windowfocus --sync "$dialog" 2>/dev/null || true
    xdotool type --delay 5 "$(realpath "$picture")"
    xdotool key Return
    sleep 1.5
fi
import -window "$window" "$output"
echo "Saved $output"
