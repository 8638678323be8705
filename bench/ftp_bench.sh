#!/usr/bin/env bash
# FTP throughput of our transport against the curl tool, in one run on one local server:
# a 64 MiB file is put to and got from pyftpdlib on 127.0.0.1, each way several times by
# build/bin/varnox_ftp_bench and by `curl -T` / `curl -o`; each time covers a whole program
# run (start, connect, log in, transfer, quit). Prints the median times and their ratio.
#
#   bench/ftp_bench.sh [BUILD_DIR] [ROUNDS]      (defaults: build, 5)
#
# Target: our time within 10% of curl's (ratio at most 1.10).
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${1:-build}
rounds=${2:-5}
bench="$build_dir/bin/varnox_ftp_bench"
if [ ! -x "$bench" ]; then
    echo "build first: $bench is missing (cmake --build --preset ci)" >&2
    exit 1
fi
command -v curl >/dev/null || { echo "the curl tool is missing" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/varnox-ftp-bench-XXXXXX")
server_pid=""
cleanup() {
    if [ -n "$server_pid" ]; then
        kill "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/root" "$work/local"
head -c $((64 * 1024 * 1024)) /dev/urandom > "$work/local/big.bin"
cp "$work/local/big.bin" "$work/root/big.bin"
user=bench
password=bench
cat > "$work/config.json" <<JSON
{"accounts": [{"name": "$user", "password": "$password", "home": "$work/root"}]}
JSON

# The server prints its port once it listens and stops when its standard input closes.
coproc SERVER { exec /usr/bin/python3 tests/support/ftp_server.py "$work/config.json"; }
server_pid=$SERVER_PID
read -r port <&"${SERVER[0]}"
address="127.0.0.1:$port"
url="ftp://$user:$password@$address"

now() { date +%s%N; }
# Runs a command and prints its wall time in seconds.
timed() {
    local start end
    start=$(now)
    "$@" >/dev/null
    end=$(now)
    awk -v ns=$((end - start)) 'BEGIN { printf "%.4f\n", ns / 1e9 }'
}
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

ours_put=() curl_put=() ours_get=() curl_get=()
for ((i = 1; i <= rounds; i++)); do
    # Alternate who goes first so neither always meets a warmer cache.
    if ((i % 2)); then order="ours curl"; else order="curl ours"; fi
    for who in $order; do
        rm -f "$work/root/up.bin" "$work/local/down.bin"
        if [ "$who" = ours ]; then
            ours_put+=("$(timed "$bench" put "$address" "$user" "$password" "$work/local/big.bin" up.bin)")
            ours_get+=("$(timed "$bench" get "$address" "$user" "$password" "$work/local/down.bin" big.bin)")
        else
            curl_put+=("$(timed curl -sS -T "$work/local/big.bin" "$url/up.bin")")
            curl_get+=("$(timed curl -sS -o "$work/local/down.bin" "$url/big.bin")")
        fi
        cmp -s "$work/local/big.bin" "$work/root/up.bin" || { echo "$who: uploaded file differs" >&2; exit 1; }
        cmp -s "$work/local/big.bin" "$work/local/down.bin" || { echo "$who: downloaded file differs" >&2; exit 1; }
    done
done

verdict=0
printf '%-22s %12s %12s %8s\n' "64 MiB, $rounds rounds" "varnox (s)" "curl (s)" "ratio"
for op in put get; do
    declare -n ours="ours_$op" theirs="curl_$op"
    o=$(printf '%s\n' "${ours[@]}" | median)
    c=$(printf '%s\n' "${theirs[@]}" | median)
    ratio=$(awk -v o="$o" -v c="$c" 'BEGIN { printf "%.3f", o / c }')
    printf '%-22s %12s %12s %8s\n' "$op (median)" "$o" "$c" "$ratio"
    if awk -v r="$ratio" 'BEGIN { exit !(r > 1.10) }'; then
        verdict=1
    fi
    unset -n ours theirs
done
if [ "$verdict" -eq 0 ]; then
    echo "target met: within 10% of curl"
else
    echo "target missed: more than 10% slower than curl"
fi
exit "$verdict"
