# shellcheck shell=bash
# Sourced by the scripts that drive Tervana's real window in a virtual X
# server (the end-to-end test, the screenshot). Every wait has a limit and,
# when what it waits for does not come, says what did not.

# Put before a program started in the background ("${tied[@]}" PROGRAM &),
# it is killed when the script is, even by a signal that leaves the script
# no time to clean up (a test runner's time-out). A plain word list, not a
# function, so that the background job is the program itself and its PID is
# the program's.
tied=()
if command -v setpriv >/dev/null; then
    tied=(setpriv --pdeathsig KILL)
fi

# Ends the programs a script started, and waits (five seconds at most) for
# them to be gone, so that Xvfb has removed its socket before the script,
# and with it anything tied to it, ends. Usage: stop_programs PID...
stop_programs() {
    local pid
    kill "$@" 2>/dev/null || true
    for pid in "$@"; do
        retry_for 5 dead "$pid" || kill -KILL "$pid" 2>/dev/null || true
    done
}

dead() {
    ! kill -0 "$1" 2>/dev/null
}

# Starts Xvfb on a display number it chooses itself, so that no other
# server's display is ever taken, and exports DISPLAY once it accepts
# connections; the programs started after it use X, whatever desktop the
# script was started from. Sets xvfb_pid. Usage: start_xvfb FOLDER SCREEN
start_xvfb() {
    local file=$1/xvfb-display number=""
    "${tied[@]}" Xvfb -displayfd 3 -screen 0 "$2" -nolisten tcp 3>"$file" >/dev/null 2>&1 &
    xvfb_pid=$!
    export QT_QPA_PLATFORM=xcb
    unset WAYLAND_DISPLAY
    local deadline=$((SECONDS + 20))
    while ((SECONDS < deadline)); do
        # Xvfb writes the number, and a newline, once it is ready.
        if [ -s "$file" ] && read -r number <"$file" && [ -n "$number" ]; then
            export DISPLAY=":$number"
            return 0
        fi
        kill -0 "$xvfb_pid" 2>/dev/null || { echo "Xvfb ended without starting a display" >&2; return 1; }
        sleep 0.1
    done
    echo "Xvfb started no display within 20 s" >&2
    return 1
}

# Runs COMMAND... every tenth of a second until it succeeds; fails when
# it has not within LIMIT seconds. Usage: retry_for LIMIT COMMAND...
retry_for() {
    local deadline=$((SECONDS + $1))
    shift
    while ((SECONDS < deadline)); do
        "$@" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}

# Prints the id of the first visible window whose name matches the pattern.
# Usage: window=$(wait_for_window PATTERN [SECONDS]) || fail ...
# The default wait is long: a window starting on a machine busy with other
# builds and tests took over 20 s, and the wait ends as soon as it shows.
wait_for_window() {
    local ids
    if ids=$(retry_for "${2:-60}" xdotool search --onlyvisible --name "$1"); then
        echo "${ids%%$'\n'*}"
        return 0
    fi
    echo "no window named '$1' appeared within ${2:-60} s" >&2
    return 1
}

no_window_named() {
    ! xdotool search --onlyvisible --name "$1" >/dev/null 2>&1
}

# Waits until no visible window's name matches the pattern.
wait_for_window_gone() { # PATTERN [SECONDS]
    retry_for "${2:-20}" no_window_named "$1" && return 0
    echo "the window named '$1' was still open after ${2:-20} s" >&2
    return 1
}

# Waits until a file exists.
wait_for_file() { # PATH [SECONDS]
    retry_for "${2:-10}" test -e "$1" && return 0
    echo "no file '$1' appeared within ${2:-10} s" >&2
    return 1
}
