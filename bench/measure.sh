# shellcheck shell=bash disable=SC2154 # $runs and $work are the sourcing script's
# The benchmark's timing, sourced by bench/run.sh and bench/cursors.sh. It
# reads $runs (runs per figure) and $work (the folder of the results).

# measure NAME COMMAND...: runs COMMAND $runs times under /usr/bin/time and
# appends "NAME median-seconds median-peak-KB median-processor-seconds" to
# the results.
measure() {
    local name=$1
    shift
    local seconds=() kilobytes=() processor=() i k user system
    local start end
    for ((i = 0; i < runs; i++)); do
        # Wall time to the millisecond (time's own %e has only hundredths),
        # read from the shell's clock, which starts no process.
        start=$EPOCHREALTIME
        if ! /usr/bin/time -f "%M %U %S" -o "$work/time" "$@" 2>"$work/stderr"; then
            echo "$name failed:" >&2
            cat "$work/stderr" >&2
            exit 1
        fi
        end=$EPOCHREALTIME
        read -r k user system <"$work/time"
        seconds+=("$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')")
        kilobytes+=("$k")
        processor+=("$(awk -v u="$user" -v s="$system" 'BEGIN { printf "%.2f", u + s }')")
    done
    echo "$name $(median "${seconds[@]}") $(median "${kilobytes[@]}") $(median "${processor[@]}")" >>"$work/results"
}

median() {
    printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
