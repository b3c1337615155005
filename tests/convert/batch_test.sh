#!/usr/bin/env bash
# The converter at scale and from the shell: pictures by any file name
# (bytes that are not UTF-8, a newline, a leading dash, 255-byte names),
# whole folders (-r) and lists (--files-from, -0) giving the same files as
# the pictures named on the command line, a list split over four converters
# by GNU parallel giving the same files as one, the progress line on a
# terminal and not in a pipe, and runs interrupted by real signals leaving
# only whole results.
#   batch_test.sh TERVANA_CONVERT_EXECUTABLE
set -euo pipefail
convert=$(realpath "$1")
# shellcheck source=tests/missingtool.sh
source "$(dirname "$0")/../missingtool.sh"
# 77: skipped, for want of Pillow or script(1).
/usr/bin/python3 -c "import PIL" 2>/dev/null || missing_tool Pillow
command -v script >/dev/null || missing_tool "script (bsdutils)"

work=$(mktemp -d)
# KEEP=1 keeps the work folder, to look into a failure.
trap '[[ -n ${KEEP:-} ]] || rm -rf "$work"' EXIT
trap 'exit 143' TERM INT
fail() { echo "FAIL: $*" >&2; exit 1; }
cd "$work"

# Pictures: 300 photos of their own, a big one, and a tree of folders.
/usr/bin/python3 - <<'PY'
import os, random, struct
from PIL import Image
random.seed(1)
os.makedirs("photos")
for i in range(300):
    w, h = random.choice([(640, 480), (480, 640), (800, 600)])
    image = Image.new("RGB", (w, h), (i % 256, (i * 7) % 256, (i * 13) % 256))
    image.paste((255 - i % 256, 40, 90), (w // 4, h // 4, w // 2, h // 2))
    image.save("photos/p%03d.jpg" % i, quality=90)
big = Image.effect_noise((3000, 2000), 60).convert("RGB")
big.save("big.jpg", quality=92)
big.save("big.png")  # decoded whole, so slow enough to be interrupted
for folder in ["tree/a/b", "tree/c"]:
    os.makedirs(folder)
for i, name in enumerate([b"tree/one.jpg", b"tree/a/two.png", b"tree/a/b/three.bmp", b"tree/c/four.gif",
                          b"tree/c/bad\xff\xfename.jpg", b"tree/a/-dash.jpg", b"tree/a/new\nline.jpg",
                          b"tree/c/" + b"n" * 251 + b".jpg", b"tree/c/mark\xef\xbb\xbfinside.jpg"]):
    image = Image.new("RGB", (60 + i, 40), (30 * i, 200, 255 - 30 * i))
    fmt = {b"png": "PNG", b"bmp": "BMP", b"gif": "GIF"}.get(name.rsplit(b".", 1)[1], "JPEG")
    image.save(os.fsdecode(name), fmt)
open("tree/a/notes.txt", "w").write("not a picture\n")
# An icon of 20,000 distinct 1 x 1 images, to be interrupted while extracted.
count = 20000
entries = b"".join(struct.pack("<BBBBHHII", 1, 1, 0, 0, 1, 32, 48, 6 + 16 * count + 48 * n) for n in range(count))
images = b"".join(struct.pack("<IiiHHIIiiII", 40, 1, 2, 1, 32, 0, 0, 0, 0, 0, 0) + bytes((n % 256, n // 256, 9, 255))
                  + bytes(4) for n in range(count))
open("many.ico", "wb").write(struct.pack("<HHH", 0, 1, count) + entries + images)
PY
[[ -e tree/c/$'bad\xff\xfename.jpg' ]] || fail "the test pictures were not made"

# --- Any file name: each result carries its picture's name, byte for byte,
# and holds what a plainly named copy gives.
mkdir -p names plain
"$convert" -d names -- tree/c/$'bad\xff\xfename.jpg' tree/a/-dash.jpg tree/a/$'new\nline.jpg' \
    "tree/c/$(printf 'n%.0s' {1..251}).jpg" tree/c/$'mark\xef\xbb\xbfinside.jpg' ||
    fail "names that are not plain text did not convert"
for name in $'bad\xff\xfename' -dash $'new\nline' "$(printf 'n%.0s' {1..251})" $'mark\xef\xbb\xbfinside'; do
    [[ -f names/$name.ico ]] || fail "no result named after '$name'"
done
cp tree/c/$'bad\xff\xfename.jpg' plain/bad.jpg
"$convert" -d plain plain/bad.jpg
cmp -s names/$'bad\xff\xfename.ico' plain/bad.ico || fail "a name of other bytes changed the icon"
said=$("$convert" -d names -- $'no\xffsuch\n.jpg' 2>&1 || true)
[[ $said == *'"no\xFFsuch\n.jpg": there is no such file.'* ]] || fail "a name not shown escaped: $said"

# --- The same files, whichever way the pictures are given.
mkdir -p named/a/b named/c
for folder in a a/b c; do
    pictures=()
    for file in tree/"$folder"/*; do [[ -f $file && $file != *.txt ]] && pictures+=("./$file"); done
    "$convert" -d "named/$folder" "${pictures[@]}"
done
"$convert" -d named tree/one.jpg
mkdir -p walked
"$convert" -r tree -d walked 2>walked.err || fail "-r failed: $(cat walked.err)"
diff -r named walked >/dev/null || fail "-r gave other files than the pictures named"
[[ $(cat walked.err) == "tervana-convert: 1 file was not a picture, left alone." ]] ||
    fail "-r reported what it left out otherwise: $(cat walked.err)"
mkdir -p flat listed nul
find tree -type f ! -name '*.txt' ! -name $'*\n*' -print0 | sort -z > all.nul
mapfile -d '' flatNames < all.nul
"$convert" -d flat -- "${flatNames[@]}"
tr '\0' '\n' < all.nul > all.lines
"$convert" --files-from all.lines -d listed
diff -r flat listed >/dev/null || fail "--files-from gave other files than the pictures named"
find tree -type f ! -name '*.txt' ! -name $'*\n*' -print0 | "$convert" --files-from - -0 -d nul
diff -r flat nul >/dev/null || fail "--files-from - -0 gave other files than the pictures named"

"$convert" --files-from tree -d listed 2> folder-list.err && fail "a folder as the list was taken for an empty list"
[[ $(cat folder-list.err) == *'cannot read the list "tree": it is a folder.' ]] || fail "a folder as the list: $(cat folder-list.err)"
"$convert" --files-from missing.list -d listed 2> missing-list.err && fail "a missing list was taken for an empty list"
[[ $(cat missing-list.err) == *'cannot read the list "missing.list": there is no such file.' ]] ||
    fail "a missing list: $(cat missing-list.err)"

# --- A list split over four converters by GNU parallel: the same files.
if command -v parallel >/dev/null; then
    find photos -name '*.jpg' | sort > photos.lines
    mkdir -p one four
    "$convert" --files-from photos.lines -d one
    split -n l/4 photos.lines part.
    parallel --will-cite -j 4 "$convert" --files-from {} -d four ::: part.*
    diff -r one four >/dev/null || fail "four converters under GNU parallel gave other files than one"
else
    echo "note: GNU parallel is not installed; the split list is not tried"
fi

# --- Progress: on a terminal, a line updated in place and a summary; in a
# pipe, neither. The list comes slowly, so the run lasts over half a second.
mkfifo slow.list
mkdir -p progress
# Twenty pictures, the second ten a second after the first; it gives up
# after 30 s if nothing reads the list.
slowList() { timeout 30 bash -c "{ find photos -name 'p00*.jpg'; sleep 1; find photos -name 'p01*.jpg'; } > slow.list"; }
slowList &
script -qec "$(printf '%q ' "$convert" --files-from slow.list -d progress)" /dev/null > terminal.txt ||
    fail "the run on a terminal failed"
wait
terminal=$(cat terminal.txt)
[[ $terminal == *$'\r\e[K'*' of '*' pictures, '* ]] || fail "no progress line on a terminal: $terminal"
[[ $terminal == *'tervana-convert: 20 converted, 0 failed, '*' s'* ]] || fail "no summary on a terminal: $terminal"
slowList &
"$convert" --files-from slow.list -d progress 2> pipe.txt
wait
[[ ! -s pipe.txt ]] || fail "a pipe got progress: $(cat pipe.txt)"
"$convert" -q photos/p000.jpg missing.jpg -d progress 2> quiet.txt && fail "--quiet hid the failure's status too"
[[ ! -s quiet.txt ]] || fail "--quiet still said: $(cat quiet.txt)"

# --- Interrupted by real signals: the status says which, the results there
# are whole, and nothing partial or temporary is left.
"$convert" big.jpg -o reference.ico
for i in $(seq -w 1 300); do ln big.jpg "many$i.jpg"; done
for signal in INT TERM; do
    rm -rf stopped && mkdir stopped
    "$convert" -j 2 many*.jpg -d stopped 2> stopped.err &
    pid=$!
    for _ in $(seq 200); do [[ -e stopped/many001.ico ]] && break; sleep 0.05; done
    [[ -e stopped/many001.ico ]] || fail "no result came within 10 s"
    kill -s "$signal" "$pid"
    status=0; wait "$pid" || status=$?
    expected=$([[ $signal == INT ]] && echo 130 || echo 143)
    [[ $status == "$expected" ]] || fail "SIG$signal: exit status $status, not $expected"
    results=(stopped/*)
    (( ${#results[@]} < 300 )) || fail "SIG$signal did not stop the run"
    for result in "${results[@]}"; do
        cmp -s "$result" reference.ico || fail "SIG$signal left $result partial or temporary"
    done
    [[ $(cat stopped.err) == *"interrupted: ${#results[@]} of 300 pictures converted"* ]] ||
        fail "SIG$signal: not said how far it came: $(cat stopped.err)"
done
# A run waiting for a list that does not come stops at once too.
mkfifo silent.list
"$convert" --files-from silent.list -d stopped 2>/dev/null &
pid=$!
sleep 0.3
kill -s INT "$pid"
status=0
for _ in $(seq 40); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
kill -0 "$pid" 2>/dev/null && { kill -s KILL "$pid"; fail "a run waiting for its list did not stop within 2 s"; }
wait "$pid" || status=$?
[[ $status == 130 ]] || fail "a run waiting for its list: exit status $status, not 130"

"$convert" big.png -o reference-png.ico
for target in file standard-output; do
    rm -f one.ico one.out
    if [[ $target == file ]]; then "$convert" big.png -o one.ico 2>/dev/null & else "$convert" big.png -o - > one.out 2>/dev/null & fi
    pid=$!
    sleep 0.1
    kill -s TERM "$pid" 2>/dev/null || true
    wait "$pid" || true
    result=$([[ $target == file ]] && echo one.ico || echo one.out)
    [[ ! -s $result ]] || cmp -s "$result" reference-png.ico || fail "SIGTERM left a partial result on $target"
    leftovers=(.tervana-*)
    [[ ! -e ${leftovers[0]} ]] || fail "SIGTERM left a temporary file for $target"
done
# --- A picture that never finishes (standard input held open, and empty):
# the first signal gives it a grace, then the run ends at once with the
# signal's status and its line, leaving no result; a second signal ends it
# at once. Each wait is bounded.
gone() { # whether process $1 ends within $2 tenths of a second
    for (( tenth = 0; tenth < $2; tenth++ )); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done
    ! kill -0 "$1" 2>/dev/null
}
mkfifo stall.fifo
exec 3<>stall.fifo # a writer that never writes, so reading waits
for signals in INT HUP+TERM; do
    rm -f stalled.ico
    "$convert" - -o stalled.ico < stall.fifo 2> stalled.err &
    pid=$!
    sleep 0.5
    kill -s "${signals%+*}" "$pid"
    if [[ $signals == *+* ]]; then
        sleep 0.1
        kill -s "${signals#*+}" "$pid"
        gone "$pid" 5 || { kill -s KILL "$pid"; fail "a second signal did not end the run at once"; }
    else
        sleep 0.5
        kill -0 "$pid" 2>/dev/null || fail "the picture under way was given no grace"
        gone "$pid" 50 || { kill -s KILL "$pid"; fail "the run did not end within 5 s of the grace"; }
    fi
    status=0; wait "$pid" || status=$?
    expected=$([[ $signals == INT ]] && echo 130 || echo 129)
    [[ $status == "$expected" ]] || fail "$signals: exit status $status, not $expected"
    [[ $(cat stalled.err) == "tervana-convert: interrupted: 0 of 1 pictures converted, 0 failed; those under way were"* ]] ||
        fail "$signals: not said: $(cat stalled.err)"
    [[ ! -e stalled.ico ]] || fail "$signals left a result"
    leftovers=(.tervana-*)
    [[ ! -e ${leftovers[0]} ]] || fail "$signals left a temporary file"
done
exec 3>&-

# --- Extraction interrupted: the images written stay, each a whole PNG,
# and the line says how many.
mkdir extracted
"$convert" --extract many.ico -d extracted > extracted.out 2> extracted.err &
pid=$!
for _ in $(seq 100); do [[ -e extracted/many-1x1-32bit.png ]] && break; sleep 0.1; done
kill -s INT "$pid"
gone "$pid" 50 || { kill -s KILL "$pid"; fail "an extraction did not stop within 5 s"; }
status=0; wait "$pid" || status=$?
[[ $status == 130 ]] || fail "an interrupted extraction: exit status $status, not 130"
pngs=(extracted/*)
(( ${#pngs[@]} < 20000 )) || fail "SIGINT did not stop the extraction"
[[ $(cat extracted.err) == "tervana-convert: interrupted: ${#pngs[@]} of 20000 images written into \"extracted\", each whole"* ]] ||
    fail "an interrupted extraction did not say what it left: $(cat extracted.err) (${#pngs[@]} files)"
[[ $(wc -l < extracted.out) == "${#pngs[@]}" ]] || fail "the extraction did not name each file it wrote"
/usr/bin/python3 - "${pngs[@]}" <<'PY' || fail "an interrupted extraction left a file that is not a whole PNG"
import sys
from PIL import Image
for name in sys.argv[1:]:
    with Image.open(name) as image:
        image.load()
PY
echo "PASS: any file name, -r and --files-from, GNU parallel, progress and interruptions"
