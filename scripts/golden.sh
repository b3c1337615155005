#!/usr/bin/env bash
# The golden comparison of two builds of tervana-convert, for developers:
#   scripts/golden.sh OLD_REV [NEW_REV]
# builds each revision's converter (NEW_REV defaults to the working tree) in
# a build folder of its own under $GOLDEN_CACHE (default build-golden/, kept
# between runs: a revision's source is unpacked there once with git archive,
# the working tree is built in place), runs every picture of the test corpus
# (the committed pictures of tests/ and fuzz/corpus/, and those the tests'
# generators make) in every mode, and compares each case: the exit status,
# the messages and the bytes of every output file. Prints each difference
# and their count; exits 0 when there are none, 1 otherwise. Each case has
# 20 s (GOLDEN_TIMEOUT).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
(( $# >= 1 && $# <= 2 )) || { echo "usage: scripts/golden.sh OLD_REV [NEW_REV]" >&2; exit 2; }
cache=$(mkdir -p "${GOLDEN_CACHE:-$repo/build-golden}" && cd "${GOLDEN_CACHE:-$repo/build-golden}" && pwd)
limit=${GOLDEN_TIMEOUT:-20}
export QT_QPA_PLATFORM=offscreen

work=$(mktemp -d)
# KEEP=1 keeps the cases' results, to look into a difference.
trap '[[ -n ${KEEP:-} ]] || rm -rf "$work"' EXIT
trap 'exit 143' TERM INT

# Builds REV ("" for the working tree); sets $built to its converter.
build() {
    local source folder
    if [[ -z $1 ]]; then
        source=$repo folder=$cache/build-worktree
    else
        local commit
        commit=$(git -C "$repo" rev-parse --verify "$1^{commit}") || { echo "no such revision: $1" >&2; exit 2; }
        source=$cache/source-$commit folder=$cache/build-$commit
        if [[ ! -d $source ]]; then
            mkdir -p "$source.part"
            git -C "$repo" archive "$commit" | tar -x -C "$source.part"
            mv "$source.part" "$source"
        fi
    fi
    echo "building ${1:-the working tree} in $folder" >&2
    cmake -S "$source" -B "$folder" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_UNITY_BUILD=ON \
        -DCMAKE_UNITY_BUILD_BATCH_SIZE=8 >"$work/cmake.log" 2>&1 || { cat "$work/cmake.log" >&2; exit 2; }
    nice ninja -C "$folder" tervana-convert tervana-svg-render >"$work/build.log" 2>&1 ||
        { tail -n 30 "$work/build.log" >&2; exit 2; }
    built=$folder/tervana-convert
}
build "$1"
old=$built
build "${2:-}"
new=$built

# The corpus: committed pictures, and the generators' (with Pillow).
mkdir "$work/corpus"
count=0
add() { # FILE TAG: a copy in a folder of its own, keeping its name
    count=$((count + 1))
    mkdir "$work/corpus/$count-$2"
    cp "$1" "$work/corpus/$count-$2/"
}
while IFS= read -r -d '' file; do
    add "$repo/$file" committed
done < <(git -C "$repo" ls-files -z -- fuzz/corpus \
    'tests/*.png' 'tests/*.ico' 'tests/*.cur' 'tests/*.ani' 'tests/*.svg' 'tests/*.bmp' 'tests/*.gif' \
    'tests/*.jpg' 'tests/*.icns' 'tests/*.webp' 'tests/*.tif' 'tests/*.tga' 'tests/*.ppm')
if /usr/bin/python3 -c "import PIL" 2>/dev/null; then
    for generator in hostile/make_hostile_pictures.py formats/make_format_pictures.py formats/make_icons.py; do
        made=$work/made-${generator//\//-}
        timeout 300 /usr/bin/python3 "$repo/tests/$generator" "$made" >/dev/null 2>&1 ||
            echo "warning: $generator failed or did not end within 300 s; its pictures are left out" >&2
        while IFS= read -r -d '' file; do
            add "$file" generated
        done < <(find "$made" -type f -print0 2>/dev/null | LC_ALL=C sort -z)
    done
else
    echo "warning: no Pillow for /usr/bin/python3: the generated pictures are left out" >&2
fi
(( count >= 100 )) || { echo "the corpus holds $count pictures, fewer than 100" >&2; exit 2; }

# The modes: a name, then the arguments (IN: the picture).
modes=(
    "plain|IN -o out/result.ico"
    "bmp|--bmp IN -o out/result.bmp"
    "mono|--mono IN -o out/result.ico"
    "classic|--cursor --classic IN -o out/result.cur"
    "key-black|--sizes all --key-black IN -o out/result.ico"
    "sizes-all|--sizes all IN -o out/result.ico"
    "cursor|--cursor IN -o out/result.cur"
    "ani|--ani IN -o out/result.ani"
    "xcursor|--xcursor IN -o out/result"
    "icns|--icns IN -o out/result.icns"
    "list|--list IN"
    "extract|--extract IN -d out"
)

# Runs every case with CONVERTER into FOLDER: per case its status, its
# output and messages (the scratch folder written as WORK) and out/.
run_all() { # CONVERTER FOLDER
    local picture name mode arguments args case i
    for picture in "$work"/corpus/*/*; do
        name=${picture#"$work/corpus/"}
        for mode in "${modes[@]}"; do
            case=$2/${name%%/*}/${mode%%|*}
            mkdir -p "$case/out"
            cp "$picture" "$case/"
            arguments=${mode#*|}
            read -r -a args <<< "$arguments"
            for i in "${!args[@]}"; do
                [[ ${args[i]} != IN ]] || args[i]=./${picture##*/}
            done
            status=0
            (cd "$case" && timeout "$limit" "$1" "${args[@]}" >stdout 2>stderr) || status=$?
            echo "$status" > "$case/status"
            rm "$case/${picture##*/}"
            sed -i "s|$work|WORK|g" "$case/stdout" "$case/stderr"
        done
    done
}
echo "running $count pictures in ${#modes[@]} modes with each build" >&2
run_all "$old" "$work/old"
run_all "$new" "$work/new"

# The comparison, case by case.
differences=0
while IFS= read -r -d '' case; do
    name=${case#"$work/old/"}
    other=$work/new/$name
    what=()
    [[ $(cat "$case/status") == "$(cat "$other/status")" ]] ||
        what+=("exit status $(cat "$case/status") -> $(cat "$other/status")")
    cmp -s "$case/stderr" "$other/stderr" || what+=("messages")
    cmp -s "$case/stdout" "$other/stdout" || what+=("output")
    files=$(diff -rq "$case/out" "$other/out" 2>&1 || true)
    [[ -z $files ]] || what+=("files: ${files//"$work"/WORK}")
    if (( ${#what[@]} > 0 )); then
        differences=$((differences + 1))
        printf '%s (%s): %s\n' "$name" "$(ls "$work/corpus/${name%%/*}")" "$(IFS=';'; echo "${what[*]}")"
    fi
done < <(find "$work/old" -mindepth 2 -maxdepth 2 -type d -print0 | LC_ALL=C sort -z)
cases=$((count * ${#modes[@]}))
echo "$differences of $cases cases differ ($count pictures, ${#modes[@]} modes)"
(( differences == 0 ))
