#!/bin/bash
# Comparison-page benchmark, printed side by side with GNU diff in one run:
#   scattered   two 1 MB pages in text mode (CR LF) with 100 changed lines scattered over them:
#               diff_bench (line diff and the whole page written) against `diff -U3`;
#   unrelated   two unrelated pages of 1, 10 and 40 MB: the time, and the peak resident memory,
#               which stays the same whatever the page size;
#   far apart   two 5 MB pages of 300,000 lines with lines 11 and 299,991 changed: the first and
#               last changes farther apart than any text a comparison holds.
#
# Usage: bench/diff.sh [BUILD_DIR]     (default build/native, built by scripts/build.sh)
# Environment: BENCH_DIR (work folder, default a fresh one under /tmp), BENCH_RUNS (best of, 3).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/native}
runs=${BENCH_RUNS:-3}
gnu_diff=/usr/bin/diff

. "$root/bench/bench_common.sh"
bench_build_native "$build" diff_bench
for tool in "$gnu_diff" /usr/bin/time python3; do
    command -v "$tool" >/dev/null || bench_fail "missing $tool (scripts/install-deps.sh installs it)"
done

work=${BENCH_DIR:-$(mktemp -d /tmp/sitewake-diff-bench-XXXXXX)}
mkdir -p "$work"
cleanup() { [[ -n ${BENCH_DIR:-} ]] || rm -rf "$work"; }
trap cleanup EXIT

now() { echo "$EPOCHREALTIME"; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.4f", b - a }'; }
min() { awk -v a="$1" -v b="$2" 'BEGIN { print (a < b ? a : b) }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
field() { sed -n "s/.*$1=\\([^ ]*\\).*/\\1/p"; }

# ---- pages ----------------------------------------------------------------------------------
echo "preparing pages in $work"
python3 - "$work" <<'PY'
import random, sys
work = sys.argv[1]
random.seed(7)
row = (b"<tr><td class=\"item\">%s%07d</td><td>\x89\xbf\x8a\x69 %d \x89\x7e</td>"
       b"<td>\x8d\xdd\x8c\xc9 %d</td><td><a href=\"/item/%d\">\x8f\xda\x8d\xd7</a></td></tr>\r\n")
head = b"<html>\r\n<head><title>\x8f\xa4\x95\x69\x88\xea\x97\x97</title></head>\r\n<body>\r\n<table>\r\n"
tail = b"</table>\r\n</body>\r\n</html>\r\n"

def rows(salt, size):
    out, total, i = [], 0, 0
    while total < size:
        line = row % (salt, i, (i * 7919) % 100000, i % 97, i)
        out.append(line)
        total += len(line)
        i += 1
    return out

def write(name, lines):
    with open(f"{work}/{name}", "wb") as f:
        f.write(head + b"".join(lines) + tail)

old = rows(b"A", 1000000)
new = list(old)
for i in random.sample(range(len(new)), 100):
    new[i] = new[i].replace(b"</td><td>", b"</td><td>(sold out) ", 1)
write("scattered_old.htm", old)
write("scattered_new.htm", new)
for mb in (1, 10, 40):
    write(f"unrelated{mb}_old.htm", rows(b"A", mb * 1000000))
    write(f"unrelated{mb}_new.htm", rows(b"B", mb * 1000000))
cells = [b"<td>%07d</td>\r\n" % (i * 7919 % 10000000) for i in range(300000 - 7)]
far = list(cells)
far[10 - 4] = b"<td>changed</td>\r\n"  # lines 11 and 299,991, after the four head lines
far[299990 - 4] = b"<td>changed too</td>\r\n"
write("farapart_old.htm", cells)
write("farapart_new.htm", far)
PY
cat "$work"/*.htm >/dev/null  # into the page cache

# Best time of GNU diff -U3 on a pair, and its peak resident memory.
gnu_best() {
    local best=1e9 t0 t1
    for _ in $(seq "$runs"); do
        t0=$(now); "$gnu_diff" -U3 "$1" "$2" >"$work/gnu.out" || true; t1=$(now)
        best=$(min "$best" "$(elapsed "$t0" "$t1")")
    done
    echo "$best"
}
gnu_rss() {
    /usr/bin/time -f %M -o "$work/gnu.rss" "$gnu_diff" -U3 "$1" "$2" >/dev/null || true
    tail -1 "$work/gnu.rss"
}

echo
printf "%-36s %12s %12s %8s %14s %14s   %s\n" "benchmark" "sitewake s" "diff -U3 s" "ratio" \
    "sitewake RSS" "diff RSS" "outcome"
run() {
    local label=$1 old=$work/$2_old.htm new=$work/$2_new.htm
    local ours ours_s gnu_s
    ours=$("$build/bench/diff_bench" "$old" "$new" "$work/page.html" "$runs")
    ours_s=$(field seconds <<<"$ours")
    gnu_s=$(gnu_best "$old" "$new")
    printf "%-36s %12s %12s %7sx %11s KB %11s KB   %s\n" "$label" "$ours_s" "$gnu_s" "$(ratio "$ours_s" "$gnu_s")" \
        "$(field peak_rss_kb <<<"$ours")" "$(gnu_rss "$old" "$new")" \
        "$(field outcome <<<"$ours"), $(field hunks <<<"$ours") hunks, -$(field deleted <<<"$ours") +$(field inserted <<<"$ours"), page $(field page_bytes <<<"$ours") bytes"
    cp "$work/page.html" "$work/page_$2.html"
}
run "1 MB pages, 100 scattered changes" scattered
gnu_changed=$(grep -c '^+[^+]' "$work/gnu.out" || true)
run "unrelated 1 MB pages" unrelated1
run "unrelated 10 MB pages" unrelated10
run "unrelated 40 MB pages" unrelated40
run "5 MB pages, 2 changes far apart" farapart
echo
echo "ratio: sitewake time / diff time (sitewake's includes writing the page); diff -U3 added $gnu_changed lines on the first pair"
echo "targets: 1 MB pair within 2x of diff; unrelated 10 MB pair under 1 s, with peak memory capped (no growth with the page size);"
echo "         far-apart pair within 2x of diff, its memory the line entries (12 bytes a line) and the listed lines"
