#!/usr/bin/env bash
# The main job: installs what is needed, builds the library, the simulator and
# the examples, starts the simulator on a free port, runs the example
# programs against it (list devices, link, configure channels, status and
# identity; count rates and a 2-second raw acquisition into volume files; a
# 5-second time-of-flight measurement with g2 saved as CSV files and drawn
# into a PNG plot) and stops the simulator again. Results go to
# demo-output/ (override with OUT=dir).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=${OUT:-"$root/demo-output"}

scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target veltranoapi veltrano-sim example_quickstart example_instrument_tour example_rates_and_raw example_tof_g2

mkdir -p "$out"
sim="$root/build/default/sim/veltrano-sim"
fifo=$(mktemp -u)
mkfifo "$fifo"
"$sim" --port 0 --seed 1 >"$fifo" &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; rm -f "$fifo"' EXIT
# The simulator's first line ends in the port it listens on.
exec 3<"$fifo"
read -r first_line <&3
port=${first_line##*:}
echo "simulator: $first_line"

printf '[server]\nserver.ip = 127.0.0.1\nserver.port = %s\n' "$port" >"$out/service.ini"
"$root/build/default/examples/quickstart" "$out/service.ini" "$out"
echo
"$root/build/default/examples/instrument_tour" "$out/service.ini" "$out"
echo
"$root/build/default/examples/rates_and_raw" "$out/service.ini" "$out"
echo
"$root/build/default/examples/tof_g2" "$out/service.ini" "$out"
# Debian's Python, where scripts/install-deps.sh put numpy and matplotlib.
python=/usr/bin/python3
[ -x "$python" ] || python=python3
"$python" scripts/plot_tof.py "$out/tof/tof_counts.csv" "$out/tof/tof_cross_correlation.csv" "$out/tof/tof_g2.png"
echo "log: $out/log/veltranoapi.log"
