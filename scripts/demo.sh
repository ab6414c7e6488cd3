#!/usr/bin/env bash
# The main job: installs what is needed, builds the library, the simulator and
# the examples, starts the simulator on a free port, runs the example
# programs against it (list devices, link, configure channels, status and
# identity; count rates and a 2-second raw acquisition into volume files; a
# 5-second time-of-flight measurement with g2 by the Python tool, saved as CSV files and drawn
# into a PNG plot; a 10-second clock stability measurement with its four
# deviation curves drawn into a PNG plot), then starts a second simulator
# whose pair source feeds the A/D channels 1 and 3 and records an energy
# spectrum and coincidence-gated spectra from it (CSV files and a PNG plot),
# and stops the simulators again. Results go to demo-output/ (override with
# OUT=dir).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=${OUT:-"$root/demo-output"}

scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target veltranoapi veltrano-sim example_quickstart example_instrument_tour example_rates_and_raw example_stability example_energy_spectra

mkdir -p "$out"
sim="$root/build/default/sim/veltrano-sim"
sim_pids=()
fifos=()
stop_simulators() {
  for pid in "${sim_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -f "${fifos[@]}"
}
trap stop_simulators EXIT

# Starts a simulator on a free port (further options as given after the
# first argument) and writes the library's INI file for it to the first
# argument.
start_simulator() {
  local service_ini=$1 fifo first_line fd
  shift
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  fifos+=("$fifo")
  "$sim" --port 0 --seed 1 "$@" >"$fifo" &
  sim_pids+=($!)
  # The simulator's first line ends in the port it listens on. The pipe stays
  # open for reading as long as the script runs.
  exec {fd}<"$fifo"
  read -r first_line <&"$fd"
  echo "simulator: $first_line"
  printf '[server]\nserver.ip = 127.0.0.1\nserver.port = %s\n' "${first_line##*:}" >"$service_ini"
}

start_simulator "$out/service.ini"
"$root/build/default/examples/quickstart" "$out/service.ini" "$out"
echo
"$root/build/default/examples/instrument_tour" "$out/service.ini" "$out"
echo
"$root/build/default/examples/rates_and_raw" "$out/service.ini" "$out"
# Debian's Python, where scripts/install-deps.sh put numpy and matplotlib.
python=/usr/bin/python3
[ -x "$python" ] || python=python3
# The raw time tags counted per channel: they agree with the rates read above.
"$python" - "$out"/raw/run*.bin <<'EOF_RAW'
import struct, sys
data = b"".join(open(name, "rb").read() for name in sorted(sys.argv[1:], key=lambda n: (len(n), n)))
counts = {}
for _, channel, _ in struct.iter_unpack("<qII", data[: len(data) // 16 * 16]):
    counts[channel] = counts.get(channel, 0) + 1
for channel in range(1, 5):
    print(f"raw acquisition, channel {channel}: {counts.get(channel, 0) / 2:.0f} events/s")
EOF_RAW
echo
# The time-of-flight measurement through the Python command-line tool: it
# finds the library and writes the CSV files and the plot.
PYTHONPATH="$root/python" VELTRANO_LIB="$root/build/default/src/libveltranoapi64.so" \
  "$python" -m veltrano tof --config "$out/service.ini" --duration 5 --out "$out/tof" --plot "$out/tof/tof_g2.png"
echo
"$root/build/default/examples/stability" "$out/service.ini" "$out"
"$python" scripts/plot_stability.py "$out"/stability/clock_{adev,mdev,tdev,hdev}.csv "$out/stability/stability.png"
echo
# Coincidence-gated spectra need pulses on two A/D channels that coincide.
start_simulator "$out/service-energy.ini" --config examples/sim-energy.ini
"$root/build/default/examples/energy_spectra" "$out/service-energy.ini" "$out"
"$python" scripts/plot_energy.py "$out/energy/spectrum.csv" "$out/energy/gated.csv" "$out/energy/gated_ch1.csv" \
  "$out/energy/gated_ch3.csv" "$out/energy/energy.png"
echo "log: $out/log/veltranoapi.log"
