#!/usr/bin/env bash
# Checks the project's own shell scripts: shellcheck over every one, and no
# pipeline whose reader may stop early. Under `set -o pipefail`, a pipe
# into a quiet grep or into head fails by chance: the reader exits at its
# first match, the writer is killed by SIGPIPE, and the pipeline fails
# although the match was found. Capture the output first instead.
set -euo pipefail
cd "$(dirname "$0")/.."

# Pipelines (not comments) whose reader can stop before the input ends:
# head, grep -q/-m/-l/-L, sed that quits, awk that exits. A pipeline
# continued on the next line is read as one line.
early_readers() { # FILE...
    local reader='(head([[:space:]]|$)|grep[^|]*[[:space:]](-[a-zA-Z]*[qmlL]|--quiet|--silent|--max-count|--files-with)'
    reader+="|sed([[:space:]]+-[a-zA-Z]+)*[[:space:]]+'?[0-9]*q'?([[:space:]]|$)|awk[^|]*[^a-z_]exit([^a-z_]|$))"
    awk '
        FNR == 1 { held = "" }
        {
            if (held == "") { start = FNR; text = $0 } else { text = held " " $0 }
            if ($0 ~ /(\||\\)[[:space:]]*$/) { held = text; next }
            held = ""
            if (text !~ /^[[:space:]]*#/) print FILENAME ":" start ":" text
        }' "$@" | grep -E "(^|[^|])\|&?[[:space:]]*$reader" || true
}

# The check must catch the pattern, or it guards nothing. The sample is
# put together here so that this file does not hold the pattern itself.
bar='|'
sample=$(mktemp)
trap 'rm -f "$sample"' EXIT
bad=("dpkg-deb -c x.deb $bar grep -q man" "first=\$(ls $bar head -n 1)" "ls $bar& grep -l x" "ls $bar sed 1q"
     "ls $bar awk '{ exit }'" "ls $bar" "    grep --quiet x")
good=("# ls $bar head" "a $bar$bar head" "ls $bar grep -v x" "ls $bar sed -n 1p" "ls $bar awk '{ print }'")
printf '%s\n' "${bad[@]}" "${good[@]}" >"$sample"
found=$(early_readers "$sample")
expected=$(printf '%s:%s:\n' "$sample" 1 "$sample" 2 "$sample" 3 "$sample" 4 "$sample" 5 "$sample" 6)
if [ "$(printf '%s\n' "$found" | cut -d: -f1-2)" != "$(printf '%s\n' "$expected" | cut -d: -f1-2)" ]; then
    echo "check-scripts.sh: the early-reader check no longer catches exactly its own sample:" >&2
    echo "$found" >&2
    exit 1
fi

# Every script of the project, tracked or new (not ignored): by its name
# (.sh, or .bash for a completion, which has no first line naming bash),
# or by the shell named on its first line.
scripts=()
while IFS= read -r -d '' file; do
    case $file in
        *.sh | *.bash) scripts+=("$file") ;;
        *)
            first=""
            IFS= read -r first <"$file" || true
            [[ $first =~ ^#!.*(bash|/sh)([[:space:]]|$) ]] && scripts+=("$file")
            ;;
    esac
done < <(git ls-files -z --cached --others --exclude-standard)

status=0
shellcheck -x "${scripts[@]}" || status=1
early=$(early_readers "${scripts[@]}")
if [ -n "$early" ]; then
    echo "Pipelines whose reader may stop early (capture the output first):" >&2
    echo "$early" >&2
    status=1
fi
[ "$status" -eq 0 ] && echo "Scripts checked: ${#scripts[@]}, shellcheck clean, no early readers in pipelines."
exit "$status"
