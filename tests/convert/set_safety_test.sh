#!/usr/bin/env bash
# Every kind of output the converter writes, against every way the folder it
# writes into can be hostile or busy: the input given where the result goes,
# links (the set's own, and others leading out), a linked subfolder, a pipe,
# a read-only file and folder, a file the user edited, an interrupted run,
# and two runs at once. In every cell nothing beside the output folder
# changes (the pictures and a sibling "outside" folder are compared, with
# checksums, before and after) and no temporary file is left. Prints the
# table, kinds by cases: held, FAIL, n/a (with the reason) or skip.
#   set_safety_test.sh TERVANA_CONVERT_EXECUTABLE
set -euo pipefail
convert=$(realpath "$1")

work=$(mktemp -d)
# KEEP=1 keeps the work folder, to look into a failure.
trap '[[ -n ${KEEP:-} ]] || { chmod -R u+rwX "$work"; rm -rf "$work"; }' EXIT
trap 'exit 143' TERM INT
# The unprivileged user of the permission cells reads the pictures from here.
chmod 755 "$work"
cd "$work"

# The kinds: the arguments (@IN stands for the input), the input, a name the
# program picks in the folder "out", a subfolder it makes ("-": none), and
# for case (a) where the input is put inside the set and what it is a copy
# of ("-": the case does not apply). Batch walks "src" with -r, so the
# input put in the set is the whole folder "out" walked into itself.
kinds=(
    "icon|@IN -o out/x.ico|pic.ppm|x.ico|-|out/x.ico|pic.ico"
    "bitmap|--bmp @IN -o out/x.bmp|pic.ppm|x.bmp|-|out/x.bmp|pic.bmp"
    "cursor|--cursor @IN -o out/x.cur|pic.ppm|x.cur|-|out/x.cur|pic.cur"
    "ani|--ani @IN -o out/x.ani|pic.ppm|x.ani|-|out/x.ani|pic.ani"
    "xcursor|--xcursor @IN -o out/x|pic.ppm|x|-|out/x|pic.xcursor"
    "icns|--icns @IN -o out/x.icns|pic.ppm|x.icns|-|out/x.icns|pic.icns"
    "sizes|--sizes all @IN -o out/x.ico|pic.ppm|x.ico|-|out/x.ico|pic.ico"
    "batch|-d out -r @IN|src|sub/pic.ico|sub|out|pic.ico"
    "extract|--extract @IN -d out|pic.ico|pic-32x32-24bit.png|-|-|-"
    "cursor-theme|--cursor-theme out @IN|left_ptr.ppm|cursors/left_ptr|cursors|out/cursors/left_ptr|pic.xcursor"
    "theme|--theme out --name app @IN|pic.ppm|hicolor/32x32/apps/app.png|hicolor/16x16|out/hicolor/32x32/apps/app.png|pic32.png"
    "favicon|--favicon out @IN|pic.ppm|favicon.ico|-|out/icon-192.png|pic32.png"
    "app-icons|--app-icons out --name app @IN|pic.ppm|web/favicon.ico|linux/hicolor/16x16|out/linux/hicolor/32x32/apps/app.png|pic32.png"
    "android|--android out @IN|pic.ppm|res/mipmap-mdpi/ic_launcher.png|res/mipmap-hdpi|out/res/mipmap-mdpi/ic_launcher.png|pic32.png"
)
cases=(a b c d e f-file f-folder f-parent g h i)
declare -A result=() why=()

# --- The pictures: a 64 x 64 PPM, and the converter's own results as the
# inputs of case (a).
mkdir inputs
{
    printf 'P6\n64 64\n255\n'
    for ((row = 0; row < 64; row++)); do
        head -c $((64 * 3)) /dev/zero | tr '\0' "\\$(printf %03o $((row * 4)))"
    done
} > inputs/pic.ppm
cp inputs/pic.ppm inputs/left_ptr.ppm
cp inputs/pic.ppm inputs/default.ppm
mkdir -p inputs/src/sub
cp inputs/pic.ppm inputs/src/sub/pic.ppm
(
    cd inputs
    "$convert" pic.ppm -o pic.ico
    "$convert" --bmp pic.ppm -o pic.bmp
    "$convert" --cursor pic.ppm -o pic.cur
    "$convert" --ani pic.ppm -o pic.ani
    "$convert" --xcursor pic.ppm -o pic.xcursor
    "$convert" --icns pic.ppm -o pic.icns
    "$convert" --extract pic.ico -d . >/dev/null
    mv pic-32x32-24bit.png pic32.png
) || { echo "FAIL: the test pictures were not made" >&2; exit 1; }

# --- Helpers. A cell runs in $work/KIND.CASE/run: the pictures, "out" (the
# folder given, made empty) and "outside" beside it.
cp -r inputs template
mkdir -p template/out template/outside/elsewhere
echo "not to be touched" > template/outside/victim
echo "nor this" > template/outside/elsewhere/keep
chmod 755 template
new_cell() { # KIND CASE
    cell=$work/$1.$2
    mkdir -m 755 "$cell"
    cp -rp template "$cell/run"
    cd "$cell/run"
}
# Everything in the cell but "out": names, kinds, modes, link targets and
# the checksums of the files.
snapshot() {
    find . -path ./out -prune -o -printf '%p %y %m %l\n' -type f -exec sha256sum {} + | LC_ALL=C sort
}
# Runs the converter for at most 20 s: its status in $status, its messages in $said.
run() {
    status=0
    said=$(timeout 20 "$@" 2>&1) || status=$?
}
make_parent() { mkdir -p "${1%/*}"; }
args_for() { # INPUT: the kind's arguments with the input put in
    read -r -a args <<< "${template//@IN/$1}"
}
temporaries() { find "$cell" -name '.tervana-*' -printf '%P '; }
# The verdict of a cell: the checks of every cell (the status is not 124,
# nothing outside changed, no temporary file), then $problem, which the
# cell's own checks set when they failed.
verdict() { # KIND CASE
    (( status != 124 )) || problem="no end within 20 s${problem:+; $problem}"
    [[ $(snapshot) == "$pristine" ]] || problem="a file outside \"out\" changed${problem:+; $problem}"
    local left
    left=$(temporaries)
    [[ -z $left ]] || problem="temporary files left: $left${problem:+; $problem}"
    if [[ -n $problem ]]; then
        record "$1" "$2" FAIL "$problem (status $status: ${said//$'\n'/ | })"
    else
        record "$1" "$2" held ""
    fi
    problem=""
    cd "$work"
}
# The cells' results, a file for each kind, as the kinds run side by side.
record() { # KIND CASE RESULT WHY
    printf '%s|%s|%s\n' "$2" "$3" "$4" >> "$work/$1.results"
}
not_applicable() { # KIND CASE REASON
    record "$1" "$2" n/a "$3"
}
refused() { # a refusal: a failure status and a message
    (( status != 0 && status != 124 )) || problem="not refused (status $status)"
    [[ -n $said ]] || problem="${problem:+$problem; }refused without a word"
}
same_tree() { # FOLDER REFERENCE: the same names, kinds, link targets and bytes
    local listed expected
    listed=$(cd "$1" && find . -printf '%p %y %l\n' | LC_ALL=C sort)
    expected=$(cd "$2" && find . -printf '%p %y %l\n' | LC_ALL=C sort)
    [[ $listed == "$expected" ]] && diff -r --no-dereference "$1" "$2" >/dev/null
}
single_file() { [[ $template == *" -o "* ]]; }
problem=""

# Every cell starts with the same files beside "out".
new_cell any pristine
pristine=$(snapshot)
cd "$work"

# --- The cells of one kind, but (h); the kinds run two at a time.
reference() { echo "$work/$kind.reference/run/out"; }
cells_of_kind() { # KIND_LINE
    IFS='|' read -r kind template input pick sub inset copied <<< "$1"
    # The kind's complete result, made in a clean folder.
    new_cell "$kind" reference
    args_for "$input"
    run "$convert" "${args[@]}"
    [[ $status == 0 && -f out/$pick ]] || { echo "FAIL: $kind did not make out/$pick: $said" >&2; exit 1; }
    cd "$work"

    # (a) The input given as the output, or inside the set where the set
    # writes it: refused, the input unchanged.
    if [[ $inset == - ]]; then
        not_applicable "$kind" a "a result's name adds the image's size to the icon's, so it is never the input's"
    else
        new_cell "$kind" a
        # Batch walks "out" into itself: its icon there is the input.
        placed=$inset
        [[ $kind != batch ]] || placed=out/$pick
        make_parent "$placed" && cp "$copied" "$placed"
        before_input=$(sha256sum "$placed")
        args_for "$inset"
        run "$convert" "${args[@]}"
        refused
        [[ $(sha256sum "$placed") == "$before_input" ]] || problem="${problem:+$problem; }the input changed"
        verdict "$kind" a
    fi

    # (b) A link of the set's own shape. A file named by -o is the user's:
    # a link there is followed, the file it leads to replaced and the link
    # kept. In a cursor theme, a link in cursors/ to a plain name beside it
    # is the theme's other name for a cursor: the file replaces it, and the
    # other links keep their targets.
    if single_file; then
        new_cell "$kind" b
        echo old > out/real
        ln -s real "out/$pick"
        args_for "$input"
        run "$convert" "${args[@]}"
        (( status == 0 )) || problem="status $status"
        [[ -L out/$pick && $(readlink "out/$pick") == real ]] || problem="${problem:+$problem; }the link was not kept"
        cmp -s out/real "$(reference)/$pick" || problem="${problem:+$problem; }the file the link leads to is not the result"
        verdict "$kind" b
    elif [[ $kind == cursor-theme ]]; then
        new_cell "$kind" b
        mkdir out/cursors
        echo old > out/cursors/left_ptr
        ln -s left_ptr out/cursors/default
        ln -s left_ptr out/cursors/arrow
        args_for default.ppm
        run "$convert" "${args[@]}"
        (( status == 0 )) || problem="status $status"
        [[ -f out/cursors/default && ! -L out/cursors/default ]] || problem="${problem:+$problem; }the link was not replaced"
        cmp -s out/cursors/default "$(reference)/cursors/left_ptr" || problem="${problem:+$problem; }not the cursor"
        [[ $(readlink out/cursors/arrow) == left_ptr && $(cat out/cursors/left_ptr) == old ]] ||
            problem="${problem:+$problem; }the other alias or its target changed"
        verdict "$kind" b
    else
        not_applicable "$kind" b "the set makes no links"
    fi

    # (c) A link at a name the program picks, to a file outside: refused in
    # a line naming it, the file outside unchanged.
    if single_file; then
        not_applicable "$kind" c "the user names the file; a link there is followed, as (b)"
    else
        new_cell "$kind" c
        make_parent "out/$pick"
        ln -s "$cell/run/outside/victim" "out/$pick"
        args_for "$input"
        run "$convert" "${args[@]}"
        refused
        [[ $said == *"out/$pick"* ]] || problem="${problem:+$problem; }the message does not name out/$pick"
        [[ -L out/$pick ]] || problem="${problem:+$problem; }the link was replaced"
        verdict "$kind" c
    fi

    # (d) A linked subfolder where the set makes one: refused, nothing
    # written through it.
    if [[ $sub == - ]]; then
        not_applicable "$kind" d "no subfolder is made; the folder given is the user's to name"
    else
        new_cell "$kind" d
        make_parent "out/$sub"
        ln -s "$cell/run/outside/elsewhere" "out/$sub"
        args_for "$input"
        run "$convert" "${args[@]}"
        refused
        verdict "$kind" d
    fi

    # (e) A named pipe at a name the program picks: refused, no wait.
    if single_file; then
        not_applicable "$kind" e "a pipe the user names is written into, as a program reading it expects"
    else
        new_cell "$kind" e
        make_parent "out/$pick"
        mkfifo "out/$pick"
        args_for "$input"
        run "$convert" "${args[@]}"
        refused
        [[ -p out/$pick ]] || problem="${problem:+$problem; }the pipe was replaced"
        verdict "$kind" e
    fi

    # (f) A read-only file where a result goes, and a read-only folder:
    # refused as "permission denied". Permissions do not bind root, so root
    # runs the converter as an unprivileged user (setpriv).
    for which in file folder parent; do
        args_for "$input"
        if [[ $which == parent && " ${args[*]} " != *" out "* ]]; then
            not_applicable "$kind" f-parent "the output is a file the user names, whose folder is not made"
            continue
        fi
        as_user=()
        if (( EUID == 0 )); then
            if ! command -v setpriv >/dev/null; then
                record "$kind" "f-$which" skip "run as root and setpriv is missing: permissions do not bind root"
                continue
            fi
            as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
        fi
        new_cell "$kind" "f-$which"
        if [[ $which == file ]]; then
            make_parent "out/$pick"
            echo old > "out/$pick"
            chmod 444 "out/$pick"
        fi
        (( EUID != 0 )) || chown -R 65534:65534 out
        [[ $which == file ]] || chmod 555 out
        args_for "$input"
        # parent: the set's folder is to be made in the read-only one.
        [[ $which != parent ]] || for i in "${!args[@]}"; do [[ ${args[i]} != out ]] || args[i]=out/new; done
        run "${as_user[@]}" "$convert" "${args[@]}"
        refused
        [[ ${said,,} == *"permission denied"* ]] || problem="${problem:+$problem; }not said: permission denied"
        [[ $which != file || $(cat "out/$pick") == old ]] || problem="${problem:+$problem; }the read-only file changed"
        [[ ! -e out/new ]] || problem="${problem:+$problem; }out/new was made"
        chmod -R u+rwX out
        verdict "$kind" "f-$which"
    done

    # (g) A file the user edited: the site's manifest merged, the theme's
    # index.theme left as written.
    manifest="" index=""
    case $kind in
        favicon) manifest=site.webmanifest ;;
        app-icons) manifest=web/site.webmanifest index=linux/hicolor/index.theme ;;
        theme) index=hicolor/index.theme ;;
        cursor-theme) index=index.theme ;;
    esac
    if [[ -z $manifest$index ]]; then
        not_applicable "$kind" g "the result is the program's file, nothing the user adds is kept in it"
    else
        new_cell "$kind" g
        if [[ -n $manifest ]]; then
            make_parent "out/$manifest"
            printf '{\n  "name": "My site",\n  "lang": "fr",\n  "display": "standalone"\n}\n' > "out/$manifest"
        fi
        if [[ -n $index ]]; then
            make_parent "out/$index"
            printf '[Icon Theme]\nName=Mine\nInherits=Adwaita\n' > "out/$index"
            index_before=$(cat "out/$index")
        fi
        args_for "$input"
        run "$convert" "${args[@]}"
        (( status == 0 )) || problem="status $status"
        if [[ -n $manifest ]]; then
            written=$(cat "out/$manifest")
            [[ $written == *'"lang": "fr"'* && $written == *'"My site"'* && $written == *'"icons"'* ]] ||
                problem="${problem:+$problem; }the manifest was not merged: $written"
        fi
        [[ -z $index || $(cat "out/$index") == "$index_before" ]] || problem="${problem:+$problem; }index.theme changed"
        verdict "$kind" g
    fi

    # (i) Two runs at once into the same folder: each succeeds, or fails in
    # words, and the set is complete and whole.
    new_cell "$kind" i
    args_for "$input"
    timeout 20 "$convert" "${args[@]}" > first.said 2>&1 &
    first=$!
    run "$convert" "${args[@]}"
    first_status=0
    wait "$first" || first_status=$?
    for s in "$status" "$first_status"; do
        (( s == 0 )) || [[ $s == 1 && -n $said$(cat first.said) ]] || problem="${problem:+$problem; }status $s"
    done
    said="$said $(cat first.said)"
    rm first.said
    same_tree out "$(reference)" || problem="${problem:+$problem; }the set is not the complete one"
    verdict "$kind" i
}
running=0
for kind_line in "${kinds[@]}"; do
    cells_of_kind "$kind_line" &
    running=$((running + 1))
    if (( running >= 2 )); then
        wait -n || true
        running=$((running - 1))
    fi
done
wait

# (h) Ctrl-C while the input stalls on a pipe, every kind at once (each
# waits out the second of grace): no file of the set but whole ones, and the
# same command run again completes the set. The picture comes on standard
# input through a pipe that is never written; batch and the cursor theme,
# which name results after their pictures, read a list of them from a pipe
# that stalls after its first name.
stall_args() { # the kind's arguments for the run that stalls; sets $feed
    feed=stdin
    case $kind in
        batch) template="-d out @IN" input=src/sub/pic.ppm feed=list ;;
        cursor-theme) feed=list ;;
    esac
    if [[ $feed == list ]]; then
        args_for "--files-from list"
    else
        args_for -
    fi
}
declare -A pid=() stalled=()
for kind_line in "${kinds[@]}"; do
    IFS='|' read -r kind template input _ <<< "$kind_line"
    if [[ $kind == extract ]]; then
        not_applicable "$kind" h "icons are extracted from named files only, and a pipe is refused; batch_test.sh interrupts a long extraction"
        continue
    fi
    new_cell "$kind" h
    stall_args
    mkfifo stall
    exec {writer}<> stall # a writer that never writes more, so the read waits
    stalled[$kind]=$writer
    if [[ $feed == list ]]; then
        echo "$input" >&"$writer"
        mv stall list
        "$convert" "${args[@]}" > said 2>&1 &
    else
        "$convert" "${args[@]}" < stall > said 2>&1 &
    fi
    pid[$kind]=$!
    cd "$work"
done
sleep 0.5
for kind in "${!pid[@]}"; do kill -s INT "${pid[$kind]}" 2>/dev/null || true; done
for kind_line in "${kinds[@]}"; do
    IFS='|' read -r kind template input _ <<< "$kind_line"
    [[ -n ${pid[$kind]:-} ]] || continue
    cell=$work/$kind.h
    cd "$cell/run"
    for ((tenth = 0; tenth < 50; tenth++)); do kill -0 "${pid[$kind]}" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "${pid[$kind]}" 2>/dev/null; then
        kill -s KILL "${pid[$kind]}"
        problem="no end within 5 s of SIGINT"
    fi
    status=0
    wait "${pid[$kind]}" || status=$?
    said=$(cat said)
    rm said stall list 2>/dev/null || true
    writer=${stalled[$kind]}
    exec {writer}>&-
    (( status == 130 )) || problem="${problem:+$problem; }status $status, not 130: $said"
    # Whatever the interrupted run left is whole: a file of the complete set.
    stall_args
    source=$input
    [[ $feed == stdin ]] || source=/dev/null
    cp -r "$work/inputs" ../ref
    mkdir ../ref/out
    [[ $feed == stdin ]] || echo "$input" > ../ref/list
    (cd ../ref && timeout 20 "$convert" "${args[@]}" < "$source" >/dev/null 2>&1) || problem="${problem:+$problem; }the reference failed"
    while IFS= read -r -d '' left; do
        cmp -s "out/$left" "../ref/out/$left" || problem="${problem:+$problem; }out/$left is not whole"
    done < <(cd out && find . -type f -print0)
    [[ $feed == stdin ]] || echo "$input" > list
    run "$convert" "${args[@]}" < "$source"
    (( status == 0 )) || problem="${problem:+$problem; }run again: status $status"
    same_tree out ../ref/out || problem="${problem:+$problem; }run again, the set is not complete"
    rm -rf ../ref list
    verdict "$kind" h
done

# --- The table.
failures=0
for kind_line in "${kinds[@]}"; do
    kind=${kind_line%%|*}
    while IFS='|' read -r c verdict_of reason; do
        result[$kind.$c]=$verdict_of
        why[$kind.$c]=$reason
        [[ $verdict_of != FAIL ]] || failures=$((failures + 1))
    done < <(cat "$work/$kind.results" 2>/dev/null || true)
done
printf '%-13s' kind
for c in "${cases[@]}"; do printf ' %-8s' "$c"; done
printf '\n'
for kind_line in "${kinds[@]}"; do
    kind=${kind_line%%|*}
    printf '%-13s' "$kind"
    for c in "${cases[@]}"; do printf ' %-8s' "${result[$kind.$c]:-MISSING}"; done
    printf '\n'
done
for kind_line in "${kinds[@]}"; do
    kind=${kind_line%%|*}
    for c in "${cases[@]}"; do
        [[ -z ${why[$kind.$c]:-} ]] || echo "$kind ($c) ${result[$kind.$c]}: ${why[$kind.$c]}"
    done
done
cells=${#result[@]}
(( cells == ${#kinds[@]} * ${#cases[@]} )) || { echo "FAIL: $cells cells of $((${#kinds[@]} * ${#cases[@]}))" >&2; exit 1; }
(( failures == 0 )) || { echo "FAIL: $failures cells failed" >&2; exit 1; }
echo "all cells held or do not apply"
