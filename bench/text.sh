#!/bin/bash
# "Text only" comparison benchmarks, printed side by side with the whole-page comparison
# (CompareTextFiles) on the same files in the same run:
#   token  two realistic markup-heavy Shift_JIS pages (1 MB, then BENCH_MB), stored in text mode,
#          differing only in a session token near their end: same text, different pages;
#   nonce  two BENCH_MB pages whose every item carries a different nonce attribute: the text
#          comparison reads both pages whole (the worst case for it), while the whole-page one
#          stops at the first item;
#   text   the extraction of one BENCH_MB page's readable text into a counting sink;
#   part   the token pages compared on a range and ignored texts (ComparePageParts), on their
#          readable text beside the plain text-only comparison (goal: at least 0.8 times its rate,
#          memory the same for 1 MB and BENCH_MB), and as whole pages.
# Rates are the size of one page over the best time. Each measurement runs in a process of its
# own and reports its peak resident memory, so the figures for the 1 MB and the BENCH_MB page show
# whether memory grows with the page. The 1 MB pages are timed over ten times as many runs.
#
# Usage: bench/text.sh [BUILD_DIR]     (default build/native, built by scripts/build.sh)
# Environment: BENCH_DIR (work folder, default a fresh one under /tmp), BENCH_MB (large page size,
#              100), BENCH_RUNS (best of, 3).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/native}
megabytes=${BENCH_MB:-100}
runs=${BENCH_RUNS:-3}

. "$root/bench/bench_common.sh"
bench_build_native "$build" text_bench

work=${BENCH_DIR:-$(mktemp -d /tmp/sitewake-text-bench-XXXXXX)}
mkdir -p "$work"
cleanup() { [[ -n ${BENCH_DIR:-} ]] || rm -rf "$work"; }
trap cleanup EXIT

rate() { awk -v bytes="$1" -v s="$2" 'BEGIN { printf "%.0f", bytes / s / 1e6 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
field() { sed -n "s/.*$1=\\([^ ]*\\).*/\\1/p"; }

# ---- pages ----------------------------------------------------------------------------------
echo "preparing 1 MB and ${megabytes} MB pages in $work"
python3 - "$work" "$megabytes" <<'PYEOF'
import sys
work, megabytes = sys.argv[1], int(sys.argv[2])
head = (b'<!DOCTYPE html>\n<html lang="ja"><head><meta http-equiv="Content-Type" content="text/html; '
        b'charset=Shift_JIS">\n<title>\x8f\xa4\x95\x69\x88\xea\x97\x97</title>\n'
        b'<link rel="stylesheet" href="/css/site.css?v=20240101">\n</head>\n<body>\n'
        b'<div id="header"><ul class="nav"><li><a href="/">top</a></li><li><a href="/new">new</a></li></ul></div>\n')
item = (b'<div class="item item-%d" data-id="%d"%s>\n'
        b'  <a href="/items/%d?ref=list&amp;page=3" class="title">\x8f\xa4\x95\x69 No.%d</a>\n'
        b'  <span class="price">&yen;1,%03d</span> <img src="/img/%d.jpg" alt="photo" width="120" height="90">\n'
        b'  <p class="desc">\x90\x56\x91\x4e\x82\xc8\x96\xec\x8d\xd8 &amp; fruit, stock %d.</p>\n'
        b'</div>\n')
extra = (b'<script type="text/javascript">window.dataLayer.push({"slot": %d, "t": "a<b"});</script>\n'
         b'<style>.item-%d { margin: 0 auto; }</style>\n<!-- block %d rendered by app-7 -->\n')
tail = b'<form action="/cart" method="post"><input type="hidden" name="csrf" value="%s"></form>\n</body></html>\n'

def page(size, token, nonce):
    parts, total, n = [head], len(head), 0
    while total < size:
        attr = b' data-nonce="%s%08x"' % (token.encode(), n * 2654435761 % 2**32) if nonce else b''
        text = item % (n, n, attr, n, n, n % 1000, n, n % 97)
        if n % 40 == 0:
            text += extra % (n, n, n)
        parts.append(text)
        total += len(text)
        n += 1
    parts.append(tail % token.encode())
    return b''.join(parts).replace(b'\n', b'\r\n')  # stored in text mode

for name, size, nonce in (("small", 1000 * 1000, False), ("big", megabytes * 1000 * 1000, False),
                          ("nonce", megabytes * 1000 * 1000, True)):
    for side, token in (("a", "9f8e7d6c5b4a"), ("b", "0a1b2c3d4e5f")):
        with open("%s/%s_%s.htm" % (work, name, side), "wb") as f:
            f.write(page(size, token, nonce))
PYEOF
cat "$work"/*.htm >/dev/null  # into the page cache

measure() {  # name mode files...: the text_bench line
    local times=$runs
    [[ $1 == small ]] && times=$((runs * 10))
    shift
    "$build/bench/text_bench" "$@" "$times"
}

declare -A plain_text  # per page: its text-only comparison, shown again beside the part comparisons
printf "\n%-44s %14s %14s %8s %12s %12s\n" "benchmark" "text only" "whole page" "ratio" "RSS text" "RSS whole"
for name in small big nonce; do
    a=$work/${name}_a.htm
    b=$work/${name}_b.htm
    bytes=$(stat -c %s "$a")
    text=$(measure "$name" text "$a" "$b")
    plain_text[$name]=$text
    whole=$(measure "$name" whole "$a" "$b")
    [[ $(field result <<<"$text") == 0 ]] || { echo "$name: text only saw a change" >&2; exit 1; }
    [[ $(field result <<<"$whole") == 1 ]] || { echo "$name: whole page saw no change" >&2; exit 1; }
    text_s=$(field seconds <<<"$text")
    whole_s=$(field seconds <<<"$whole")
    case $name in
        small) label="compare 1 MB pages, token differs" ;;
        big) label="compare ${megabytes} MB pages, token differs" ;;
        nonce) label="compare ${megabytes} MB pages, nonce per item*" ;;
    esac
    printf "%-44s %9s MB/s %9s MB/s %7sx %9s KB %9s KB   (%s s vs %s s over %d-byte pages)\n" "$label" \
        "$(rate "$bytes" "$text_s")" "$(rate "$bytes" "$whole_s")" "$(ratio "$whole_s" "$text_s")" \
        "$(field peak_rss_kb <<<"$text")" "$(field peak_rss_kb <<<"$whole")" "$text_s" "$whole_s" "$bytes"
done
for name in small big; do
    page=$work/${name}_a.htm
    bytes=$(stat -c %s "$page")
    out=$(measure "$name" extract "$page")
    printf "%-44s %9s MB/s %14s %8s %9s KB %12s   (%s s; %s bytes of text from %d)\n" \
        "extract the text of the ${name} page" "$(rate "$bytes" "$(field seconds <<<"$out")")" "-" "-" \
        "$(field peak_rss_kb <<<"$out")" "-" "$(field seconds <<<"$out")" "$(field result <<<"$out")" "$bytes"
done
echo "* the text comparison reads both pages whole; the whole-page comparison stops at the first item"
printf "\n%-44s %14s %14s %8s %12s %12s\n" "range and ignored texts" "with them" "text only" "ratio" "RSS with" "RSS text"
for name in small big; do
    a=$work/${name}_a.htm
    b=$work/${name}_b.htm
    bytes=$(stat -c %s "$a")
    for mode in part-text part-whole; do
        part=$(measure "$name" "$mode" "$a" "$b")
        [[ $(field result <<<"$part") == 0 ]] || { echo "$name $mode: saw a change or no start text" >&2; exit 1; }
        plain=${plain_text[$name]}
        part_s=$(field seconds <<<"$part")
        plain_s=$(field seconds <<<"$plain")
        case $mode in
            part-text) label="${name} page, readable text" ;;
            part-whole) label="${name} page, whole page" ;;
        esac
        printf "%-44s %9s MB/s %9s MB/s %7sx %9s KB %9s KB\n" "$label" "$(rate "$bytes" "$part_s")" \
            "$(rate "$bytes" "$plain_s")" "$(ratio "$plain_s" "$part_s")" "$(field peak_rss_kb <<<"$part")" \
            "$(field peak_rss_kb <<<"$plain")"
    done
done
echo "ratio: the plain text-only comparison's time over the time with a range and ignored texts (goal >= 0.8)"
