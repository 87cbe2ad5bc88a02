#!/bin/bash
# Acquisition benchmarks, printed side by side with their reference tools:
#   fetch    a 60 MB page from nginx on loopback: HttpGetToFile against curl -s -o,
#            and the peak resident memory of a fetch for a 1 KB and a 60 MB page;
#   compare  two identical 60 MB files: CompareTextFiles against cmp; and two 60 MB files
#            differing only in their last line, one with CR LF line ends, one with LF.
# A fetch stops at 64 MiB of body (67,108,864 bytes): the page stays under that by default.
#
# Usage: bench/acquisition.sh [BUILD_DIR]     (default build/native, built by scripts/build.sh)
# Environment: BENCH_PORT (default 18080; nginx listens on 127.0.0.1:BENCH_PORT),
#              BENCH_DIR (work folder, default a fresh one under /tmp), BENCH_MB (page size, 60;
#              at most 67), BENCH_RUNS (best of, 3).
# Needs nginx and curl. Only 127.0.0.1 is used.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/native}
port=${BENCH_PORT:-18080}
megabytes=${BENCH_MB:-60}
runs=${BENCH_RUNS:-3}
nginx=$(command -v nginx || echo /usr/sbin/nginx)
. "$root/bench/bench_common.sh"

(( megabytes * 1000 * 1000 <= 64 * 1024 * 1024 )) ||
    bench_fail "BENCH_MB=$megabytes is past the fetch's 64 MiB limit: the fetch would refuse the page"
bench_build_native "$build" fetch_bench compare_bench
for tool in curl cmp "$nginx"; do
    command -v "$tool" >/dev/null || bench_fail "missing $tool (scripts/install-deps.sh installs it)"
done

work=${BENCH_DIR:-$(mktemp -d /tmp/sitewake-bench-XXXXXX)}
mkdir -p "$work/html" "$work/out"
nginx_pid=
cleanup() {
    if [[ -n $nginx_pid ]]; then
        kill "$nginx_pid" 2>/dev/null || true
        wait "$nginx_pid" 2>/dev/null || true
    fi
    [[ -n ${BENCH_DIR:-} ]] || rm -rf "$work"
}
trap cleanup EXIT

now() { echo "$EPOCHREALTIME"; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.4f", b - a }'; }
min() { awk -v a="$1" -v b="$2" 'BEGIN { print (a < b ? a : b) }'; }
rate() { awk -v bytes="$1" -v s="$2" 'BEGIN { printf "%.0f", bytes / s / 1e6 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
field() { sed -n "s/.*$1=\\([^ ]*\\).*/\\1/p"; }

# ---- pages ----------------------------------------------------------------------------------
echo "preparing ${megabytes} MB pages in $work"
python3 - "$work" "$megabytes" <<'EOF'
import sys
work, megabytes = sys.argv[1], int(sys.argv[2])
size = megabytes * 1000 * 1000
line = b"<tr><td class=\"c\">%08d</td><td>price 1234 yen, stock 56</td><td>\x83\x5c\x95\x5c</td></tr>"
lf, crlf, n = [], [], 0
total = 0
while total < size:
    text = line % n
    lf.append(text + b"\n")
    crlf.append(text + b"\r\n")
    total += len(text) + 1
    n += 1
lf_bytes = b"".join(lf)
with open(work + "/html/big.htm", "wb") as f:
    f.write(lf_bytes)
with open(work + "/html/small.htm", "wb") as f:
    f.write(lf_bytes[:1000])
with open(work + "/same_a.txt", "wb") as f:
    f.write(lf_bytes)
with open(work + "/same_b.txt", "wb") as f:
    f.write(lf_bytes)
with open(work + "/last_lf.txt", "wb") as f:
    f.write(lf_bytes + b"<p>last line A</p>\n")
with open(work + "/last_crlf.txt", "wb") as f:
    f.write(b"".join(crlf) + b"<p>last line B</p>\r\n")
EOF
page_bytes=$(stat -c %s "$work/html/big.htm")

# ---- nginx ----------------------------------------------------------------------------------
cat >"$work/nginx.conf" <<EOF
daemon off;
master_process off;
pid $work/nginx.pid;
error_log $work/error.log;
events { worker_connections 64; }
http {
  access_log off;
  default_type text/html;
  sendfile on;
  client_body_temp_path $work/client_body;
  proxy_temp_path $work/proxy;
  fastcgi_temp_path $work/fastcgi;
  uwsgi_temp_path $work/uwsgi;
  scgi_temp_path $work/scgi;
  server { listen 127.0.0.1:$port; root $work/html; }
}
EOF
"$nginx" -p "$work/" -e "$work/error.log" -c "$work/nginx.conf" &
nginx_pid=$!
for _ in $(seq 50); do
    curl -s -o /dev/null "http://127.0.0.1:$port/small.htm" && break
    sleep 0.1
done
cat "$work/html/big.htm" "$work"/*.txt >/dev/null  # into the page cache

# ---- fetch ----------------------------------------------------------------------------------
url="http://127.0.0.1:$port/big.htm"
ours_best=1e9
curl_best=1e9
for _ in $(seq "$runs"); do
    rm -f "$work/out/curl.htm" "$work/out/ours.htm"
    t0=$(now); curl -s -o "$work/out/curl.htm" "$url"; t1=$(now)
    curl_best=$(min "$curl_best" "$(elapsed "$t0" "$t1")")
    t0=$(now)
    "$build/bench/fetch_bench" "127.0.0.1/big.htm" "$work/out/ours.htm" "$port" >"$work/out/big.txt" ||
        bench_fail "the fetch of the ${megabytes} MB page failed: $(cat "$work/out/big.txt")"
    t1=$(now)
    ours_best=$(min "$ours_best" "$(elapsed "$t0" "$t1")")
done
[[ $(stat -c %s "$work/out/curl.htm") == "$page_bytes" ]] || bench_fail "curl fetched a wrong size"
"$build/bench/fetch_bench" "127.0.0.1/small.htm" "$work/out/small.htm" "$port" >"$work/out/small.txt" ||
    bench_fail "the fetch of the 1 KB page failed: $(cat "$work/out/small.txt")"
rss_small=$(field peak_rss_kb <"$work/out/small.txt")
rss_big=$(field peak_rss_kb <"$work/out/big.txt")
stored=$(field stored_bytes <"$work/out/big.txt")

echo
printf "%-44s %14s %14s %8s\n" "benchmark" "sitewake" "reference" "ratio"
printf "%-44s %11s MB/s %11s MB/s %7sx   (curl -s -o; %d-byte page, %s s vs %s s; stored %s bytes)\n" \
    "fetch ${megabytes} MB page from nginx (loopback)" \
    "$(rate "$page_bytes" "$ours_best")" "$(rate "$page_bytes" "$curl_best")" \
    "$(ratio "$curl_best" "$ours_best")" "$page_bytes" "$ours_best" "$curl_best" "$stored"
printf "%-44s %11s KB   %11s KB   %7sx   (sitewake column: %d MB page; reference column: 1 KB page)\n" \
    "peak RSS of a fetch" "$rss_big" "$rss_small" "$(ratio "$rss_big" "$rss_small")" "$megabytes"

# ---- compare --------------------------------------------------------------------------------
cmp_best=1e9
for _ in $(seq "$runs"); do
    t0=$(now); cmp -s "$work/same_a.txt" "$work/same_b.txt"; t1=$(now)
    cmp_best=$(min "$cmp_best" "$(elapsed "$t0" "$t1")")
done
same=$("$build/bench/compare_bench" "$work/same_a.txt" "$work/same_b.txt" "$runs")
same_s=$(field seconds <<<"$same")
[[ $(field result <<<"$same") == 0 ]] || bench_fail "identical files compared as different"
last=$("$build/bench/compare_bench" "$work/last_crlf.txt" "$work/last_lf.txt" "$runs")
last_s=$(field seconds <<<"$last")
[[ $(field result <<<"$last") == 1 ]] || bench_fail "last-line change not seen"
last_bytes=$(stat -c %s "$work/last_crlf.txt")

printf "%-44s %11s MB/s %11s MB/s %7sx   (cmp -s; %s s vs %s s)\n" \
    "compare identical ${megabytes} MB files" \
    "$(rate "$page_bytes" "$same_s")" "$(rate "$page_bytes" "$cmp_best")" \
    "$(ratio "$cmp_best" "$same_s")" "$same_s" "$cmp_best"
printf "%-44s %11s MB/s %14s %8s   (CR LF vs LF, %s s over the %d-byte CR LF file)\n" \
    "compare files differing in the last line" "$(rate "$last_bytes" "$last_s")" "-" "-" "$last_s" "$last_bytes"
