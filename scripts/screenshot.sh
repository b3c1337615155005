#!/usr/bin/env bash
# Takes a screenshot of Tervana's window in a virtual X server.
#   scripts/screenshot.sh OUTPUT.png [PICTURE]
# With PICTURE, the script opens it first through the window's Open dialog,
# so the preview shows it.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/x11-session.sh
source scripts/x11-session.sh
output=$(realpath -m "${1:-docs/screenshot.png}")
picture=${2:-}

# The file dialog remembers its state in the user's configuration; keep
# the screenshot's run out of the real one.
for tool in Xvfb xdotool import; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed (scripts/install-deps.sh test)" >&2; exit 1; }
done
[ -x build/tervana ] || { echo "build/tervana is not built yet (scripts/build.sh)" >&2; exit 1; }
work=$(mktemp -d)
xvfb_pid=""
tervana=""
# shellcheck disable=SC2086 # the PIDs that are set, each a word
trap 'stop_programs $tervana $xvfb_pid; rm -rf "$work"' EXIT
trap 'exit 143' TERM INT
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/runtime
mkdir -m 0700 "$XDG_RUNTIME_DIR"
start_xvfb "$work" 800x600x24
"${tied[@]}" build/tervana >/dev/null 2>&1 &
tervana=$!
window=$(wait_for_window '^Tervana$')
sleep 1
if [ -n "$picture" ]; then
    # The centre of "Apri" inside the window.
    xdotool mousemove --window "$window" 149 156 click 1
    dialog=$(wait_for_window 'Apri file Immagine')
    sleep 0.5
    xdotool windowfocus --sync "$dialog" 2>/dev/null || true
    xdotool type --delay 5 "$(realpath "$picture")"
    xdotool key Return
    wait_for_window_gone 'Apri file Immagine'
    sleep 1
fi
import -window "$window" "$output"
echo "Saved $output"
