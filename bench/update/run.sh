#!/bin/bash
# Benchmark of update.dll against the host's tools, on one 50 MB file from the loopback server:
# downloadFile against curl, md5 against md5sum (best of three rounds each).
#   bench/update/run.sh BUILD_DIR
set -eu
build=$(cd "${1:?usage: run.sh BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
state=$build/bench/update-run
rounds=3
mkdir -p "$state/www"
[ -f "$state/www/bench.bin" ] || head -c 52428800 /dev/urandom >"$state/www/bench.bin"

python3 "$repo/tests/update/server.py" start --root "$state/www" --state "$state/server" >/dev/null
trap 'python3 "$repo/tests/update/server.py" stop --state "$state/server"' EXIT
"$repo/tools/winebench.sh" "$build/wine" start >/dev/null
url="http://127.0.0.1:$(cat "$state/server/port")/bench.bin"

best() { sort -g | head -1; }
curl_s=$(for _ in $(seq $rounds); do
    curl --noproxy '*' -s -o "$state/curl.bin" -w '%{time_total}\n' "$url"
done | best)
md5sum_s=$(for _ in $(seq $rounds); do
    start=$(date +%s.%N); md5sum "$state/curl.bin" >"$state/md5sum.txt"; end=$(date +%s.%N)
    echo "$end - $start" | bc -l
done | best)

dest="Z:$(echo "$state/dll.bin" | tr / '\\')"
out=$(env -u http_proxy -u HTTP_PROXY "$repo/tools/winebench.sh" "$build/wine" run "$build/bin/update_bench.exe" "$url" "$dest" $rounds | tr -d '\r')
download_ms=$(echo "$out" | sed -n 's/.*download_ms=\([0-9.]*\).*/\1/p')
md5_ms=$(echo "$out" | sed -n 's/.*md5_ms=\([0-9.]*\).*/\1/p')
digest=$(echo "$out" | sed -n 's/.*md5=\([0-9a-f]*\).*/\1/p')

expected=$(cut -d' ' -f1 "$state/md5sum.txt")
[ "$digest" = "$expected" ] || { echo "md5 differs: update.dll $digest, md5sum $expected" >&2; exit 1; }
cmp -s "$state/curl.bin" "$state/dll.bin" || { echo "downloaded files differ" >&2; exit 1; }

printf 'file          50 MiB from 127.0.0.1, best of %d\n' $rounds
printf 'downloadFile  %8.1f ms   curl   %8.1f ms   ratio %.2f\n' "$download_ms" "$(echo "$curl_s * 1000" | bc -l)" \
    "$(echo "$download_ms / ($curl_s * 1000)" | bc -l)"
printf 'md5           %8.1f ms   md5sum %8.1f ms   ratio %.2f\n' "$md5_ms" "$(echo "$md5sum_s * 1000" | bc -l)" \
    "$(echo "$md5_ms / ($md5sum_s * 1000)" | bc -l)"
