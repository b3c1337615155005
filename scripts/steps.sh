# shellcheck shell=bash
# Sourced by test.sh: runs the steps of a long command one after another,
# each timed, and prints every step's time when the command ends, however
# it ends (the step that failed is marked).
#   step NAME COMMAND [ARGUMENT...]

step_lines=()
steps_started=$SECONDS

step() { # NAME COMMAND...
    local name=$1 started=$SECONDS status=0
    shift
    echo "== $name"
    "$@" || status=$?
    local line
    line=$(printf '%5d s  %s' $((SECONDS - started)) "$name")
    [ "$status" -eq 0 ] || line="$line (FAILED, status $status)"
    step_lines+=("$line")
    return "$status"
}

print_step_times() {
    echo "Time of each step:"
    [ ${#step_lines[@]} -eq 0 ] || printf '  %s\n' "${step_lines[@]}"
    printf '  %5d s  in all\n' $((SECONDS - steps_started))
}
trap print_step_times EXIT
