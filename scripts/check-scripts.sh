#!/usr/bin/env bash
# Checks the project's own shell scripts: shellcheck over every one, and no
# pipeline whose reader may stop early. Under `set -o pipefail`,
# `cmd | grep -q` or `cmd | head` fails by chance: the reader exits at its
# first match, the writer is killed by SIGPIPE, and the pipeline fails
# although the match was found. Capture the output first instead.
set -euo pipefail
cd "$(dirname "$0")/.."

# Lines (not comments) that pipe into a reader that can stop early.
early_readers() { # FILE...
    grep -nE '(^|[^|])\|[[:space:]]*(head([[:space:]]|$)|grep[^|]*[[:space:]](-[a-zA-Z]*[qm]|--quiet|--silent|--max-count))' "$@" |
        grep -vE '^([^:]*:)?[0-9]+:[[:space:]]*#' || true
}

# The check must catch the pattern, or it guards nothing. The sample is
# put together here so that this file does not hold the pattern itself.
bar='|'
sample=$(mktemp)
trap 'rm -f "$sample"' EXIT
printf '%s\n' "dpkg-deb -c x.deb $bar grep -q man" "first=\$(ls $bar head -n 1)" "# ls $bar head" \
    "a $bar$bar head" "ls $bar grep -v x" >"$sample"
found=$(early_readers "$sample")
if [ "$(printf '%s\n' "$found" | wc -l)" -ne 2 ] || [[ $found != 1:* ]]; then
    echo "check-scripts.sh: the early-reader check no longer catches its own sample:" >&2
    echo "$found" >&2
    exit 1
fi

# Every tracked script: by its name, or by the shell named on its first line.
scripts=()
while IFS= read -r -d '' file; do
    case $file in
        *.sh) scripts+=("$file") ;;
        *)
            first=""
            IFS= read -r first <"$file" || true
            [[ $first =~ ^#!.*(bash|/sh)([[:space:]]|$) ]] && scripts+=("$file")
            ;;
    esac
done < <(git ls-files -z)

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
