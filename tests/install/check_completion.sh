#!/usr/bin/env bash
# Checks the installed shell completions of tervana-convert under PREFIX
# (the installed /usr): both files are in place; bash-completion, pointed at
# PREFIX/share, loads the bash one on demand from there in a new bash, and
# it offers the --sizes presets, pictures (not other files) and folders
# only after -d; zsh's compinit registers the zsh one and can load it.
# Exits with 77 (skipped) after the other checks when bash-completion or
# zsh is not installed.
#   check_completion.sh PREFIX
set -euo pipefail
# shellcheck source=tests/missingtool.sh
source "$(dirname "$0")/../missingtool.sh"
prefix=$1
bash_file=$prefix/share/bash-completion/completions/tervana-convert
zsh_folder=$prefix/share/zsh/vendor-completions

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
[ -s "$bash_file" ] || fail "share/bash-completion/completions/tervana-convert is missing or empty"
[ -s "$zsh_folder/_tervana-convert" ] || fail "share/zsh/vendor-completions/_tervana-convert is missing or empty"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A folder to complete in: a picture whose extension is in mixed case, a file
# that is no picture, and a folder.
mkdir -p "$work/pictures/album"
: >"$work/pictures/Logo.Png"
: >"$work/pictures/notes.txt"

missing=()
loader=/usr/share/bash-completion/bash_completion
if [ -f "$loader" ]; then
    # A clean bash: no user or system completion but bash-completion's own
    # and what PREFIX holds (its user folder is an empty one of the test's).
    # Prints the file the completion function was read from, then what it
    # offers in each case, one case a line.
    script=$(
        cat <<'BASH'
source "$1" || exit 1
_completion_loader tervana-convert
registered=$(complete -p tervana-convert) || exit 1
[[ $registered =~ -F\ ([^ ]+) ]] || exit 1
function=${BASH_REMATCH[1]}
shopt -s extdebug
where=$(declare -F "$function") || exit 1
echo "from ${where#* * }"
offers() {
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    COMP_LINE="$*"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    "$function" tervana-convert "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd ' '
}
cd "$2" || exit 1
offers tervana-convert --sizes ""
offers tervana-convert ""
offers tervana-convert -d ""
BASH
    )
    if answer=$(cd "$work" && HOME=$work/home XDG_DATA_HOME=$work/home/.local/share XDG_DATA_DIRS=$prefix/share \
        BASH_COMPLETION_USER_DIR=$work/home/completions timeout 60 bash --norc --noprofile -c "$script" bash \
        "$loader" "$work/pictures" 2>&1); then
        expected="from $bash_file
all favicon windows
Logo.Png album
album"
        [ "$answer" = "$expected" ] ||
            fail "bash completion of tervana-convert, expected:"$'\n'"$expected"$'\n'"got:"$'\n'"$answer"
    else
        fail "bash-completion does not load the installed completion of tervana-convert: $answer"
    fi
else
    missing+=(bash-completion)
fi

if command -v zsh >/dev/null; then
    # compinit reads the #compdef line; autoload +X reads the whole function.
    # -D: no dump file is written.
    script=$(
        cat <<'ZSH'
fpath=("$1" $fpath)
autoload -U compinit && compinit -u -D || exit 1
print -r -- "${_comps[tervana-convert]-none}"
autoload -U +X _tervana-convert
ZSH
    )
    if answer=$(cd "$work" && HOME=$work/home ZDOTDIR=$work/home timeout 60 zsh -f -c "$script" zsh "$zsh_folder" 2>&1); then
        [ "$answer" = _tervana-convert ] || fail "zsh's compinit does not give tervana-convert its completion: $answer"
    else
        fail "zsh cannot load the installed completion of tervana-convert: $answer"
    fi
else
    missing+=(zsh)
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures completion check(s) failed" >&2
    exit 1
fi
if [ ${#missing[@]} -ne 0 ]; then
    missing_tool "${missing[*]}" "every other completion check passed"
fi
echo "The completions of tervana-convert are installed and load."
