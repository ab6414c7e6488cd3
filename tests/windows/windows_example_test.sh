#!/usr/bin/env bash
# Runs examples/windows_measurement.c, built for Windows, under wine against
# the native simulator and checks that everything it wrote is where its
# documentation says, under a base folder with non-ASCII characters (the INI
# file is in one too): the
# volume files of 2 s of raw time tags, the time-of-flight CSV file (header
# line ending in LF, data lines in CR LF) and the log.
#   windows_example_test.sh SIMULATOR EMULATOR... EXAMPLE_EXE WORK_DIR
set -euo pipefail
sim=$1
shift
work=${*: -1}
example=${*: -2:1}
emulator=("${@:1:$#-2}")

rm -rf "$work"
mkdir -p "$work"
cd "$work"
"$sim" --port 0 > sim.out &
sim_pid=$!
trap 'kill $sim_pid 2>/dev/null; wait $sim_pid 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  grep -q ':[0-9]*$' sim.out 2>/dev/null && break
  sleep 0.1
done
port=$(head -n 1 sim.out | sed 's/.*://')
# The INI file in a folder with non-ASCII characters too; wine reads the
# command line as UTF-8 in a UTF-8 locale.
mkdir -p "Konfig-µ"
printf '[server]\nserver.ip = 127.0.0.1\nserver.port = %s\n' "$port" > "Konfig-µ/service.ini"

LC_ALL=C.UTF-8 "${emulator[@]}" "$example" "Konfig-µ/service.ini" | tee example.out

base="Messung-µs-测试"
fail() { echo "FAILED: $*" >&2; exit 1; }
grep -q "^channels: [1-9]" example.out || fail "no channel count"
[ -s "$base/raw/run.bin" ] || fail "no raw volume $base/raw/run.bin"
raw_bytes=$(cat "$base"/raw/run*.bin | wc -c)
[ $((raw_bytes % 16)) -eq 0 ] || fail "raw volumes hold $raw_bytes bytes, not whole 16-byte records"
csv="$base/tof/tof_counts.csv"
[ -s "$csv" ] || fail "no $csv"
head -n 1 "$csv" | grep -q $'[^\r]$' || fail "the header line of $csv does not end in a plain line feed"
[ "$(sed -n 2p "$csv" | tail -c 2 | od -An -c | tr -d ' ')" = '\r\n' ] || fail "the data lines of $csv do not end in CR LF"
[ -s "$base/log/veltranoapi.log" ] || fail "no log in $base/log"
echo "raw: $raw_bytes bytes; $(($(wc -l < "$csv") - 1)) histogram rows; log present"
