#!/usr/bin/env bash
# Builds the benchmarks in a Release build directory, runs every one of them
# and prints one table: benchmark | ours | baseline | ratio | target | met?
#
#   bench/run.sh                              # build dir build/bench
#   BUILD_DIR=/tmp/b JOBS=2 bench/run.sh      # another build dir, -j2
#   bench/run.sh latency_bench csv_save_bench # only these benchmarks
#
# Each benchmark's full output is kept in $BUILD_DIR/bench-logs/<name>.log.
# Rows come from the lines a benchmark prints as "ROW<tab>..." and, for the
# benchmarks that print rates and ratios only, from their ratio lines, with
# the rates named in RATE_PAIRS below as ours and baseline.
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="${BUILD_DIR:-$repo/build/bench}"
jobs="${JOBS:-2}"
all_benches=(latency_bench parallel_sessions_bench analysis_fetch_bench csv_save_bench hex_bench
             volume_writer_bench raw_stream_bench)
if [ "$#" -gt 0 ]; then
    benches=("$@")
else
    benches=("${all_benches[@]}")
fi

# bench | its ratio label | the rate label of our side | the rate label of the baseline
RATE_PAIRS='hex_bench|one call: fast / scalar|one call: fastBytesToHexs|one call: bytesToHexs (baseline)
hex_bench|1 MiB calls: fast / scalar|1 MiB calls: fastBytesToHexs|1 MiB calls: bytesToHexs (baseline)
hex_bench|in cache: fast / scalar|in cache: fastBytesToHexs|in cache: bytesToHexs (baseline)
hex_bench|speed-up over xxd -p|ci_convert_to_hex_local|xxd -p (baseline)
volume_writer_bench|writeData / write(2)|AsyncFileWriter writeData|write(2) (baseline)
volume_writer_bench|writeData + flush / write(2)|AsyncFileWriter writeData + flush|write(2) (baseline)
raw_stream_bench|memory mode / baseline|ci_acq_rawdata + ci_fetch_rawdata|minimal client (baseline)
raw_stream_bench|local files / baseline|ci_acq_rawdata_local, 1 GiB volumes|minimal client (baseline)
csv_save_bench|saver speed / fprintf|library saver|fprintf("%g,%g\n") loop (baseline)'

if [ ! -f "$build_dir/CMakeCache.txt" ]; then
    cmake -S "$repo" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELTRANO_BUILD_BENCH=ON \
        -DVELTRANO_BUILD_TESTS=OFF -DVELTRANO_BUILD_EXAMPLES=OFF >&2
fi
cmake --build "$build_dir" -j "$jobs" --target "${benches[@]}" >&2

logs="$build_dir/bench-logs"
mkdir -p "$logs"
rows="$logs/table.tsv"
printf 'benchmark\tours\tbaseline\tratio\ttarget\tmet?\n' > "$rows"

# Rows of one benchmark's output: its ROW lines, and its rate/ratio pairs.
rows_of() {
    local bench="$1" log="$2"
    # A benchmark that prints ROW lines gives its rows that way only; its
    # rate and ratio lines are for people. The pairs go through the
    # environment: awk -v would turn their "\n" into a line feed.
    local rows_only=0
    if grep -q $'^ROW\t' "$log"; then
        rows_only=1
    fi
    RATE_PAIRS="$RATE_PAIRS" awk -v bench="$bench" -v rowsOnly="$rows_only" '
        BEGIN {
            n = split(ENVIRON["RATE_PAIRS"], lines, "\n")
            for (i = 1; i <= n; i++) {
                split(lines[i], f, "|")
                if (f[1] == bench) { oursOf[f[2]] = f[3]; baseOf[f[2]] = f[4] }
            }
        }
        function label(line) { s = substr(line, 3, 44); sub(/ +$/, "", s); return s }
        /^ROW\t/ { sub(/^ROW\t/, ""); print; next }
        rowsOnly == 1 { next }
        / MiB\/s$/ { rate[label($0)] = $(NF - 1) " MiB/s"; next }
        /\(target >= .*: (met|NOT met)\)$/ {
            name = label($0)
            rest = substr($0, 47)
            split(rest, w, " ")
            target = rest; sub(/^.*\(target /, "", target); sub(/:.*$/, "", target)
            met = ($0 ~ /NOT met\)$/) ? "NO" : "yes"
            ours = (name in oursOf && oursOf[name] in rate) ? rate[oursOf[name]] : "-"
            base = (name in baseOf && baseOf[name] in rate) ? rate[baseOf[name]] : "-"
            printf "%s: %s\t%s\t%s\t%s\t%s\t%s\n", bench, name, ours, base, w[1], target, met
            next
        }
        /\(limit < .*: (met|NOT met)\)$/ {
            name = label($0)
            rest = substr($0, 47)
            split(rest, w, " ")
            limit = rest; sub(/^.*\(limit /, "", limit); sub(/:.*$/, "", limit)
            met = ($0 ~ /NOT met\)$/) ? "NO" : "yes"
            printf "%s: %s\t%s %s\t-\t-\t%s\t%s\n", bench, name, w[1], w[2], limit, met
        }
    ' "$log"
}

total_start=$SECONDS
for bench in "${benches[@]}"; do
    program="$build_dir/bench/$bench"
    start=$SECONDS
    echo "running $bench ..." >&2
    status=0
    "$program" > "$logs/$bench.log" 2>&1 || status=$?
    rows_of "$bench" "$logs/$bench.log" >> "$rows"
    if [ "$status" -ne 0 ]; then
        printf '%s\tFAILED (exit %d)\t-\t-\t-\tNO\n' "$bench" "$status" >> "$rows"
    fi
    echo "  $bench: $((SECONDS - start)) s" >&2
done

# --- Python stream benchmark: its own program, bench/python_stream_bench.py ---
# In a full run only, after raw_stream_bench, whose figure in this run's log is
# its baseline. Alone: bench/python_stream_bench.py BUILD_DIR
if [ "$#" -eq 0 ]; then
    echo "running python_stream_bench ..." >&2
    cmake --build "$build_dir" -j "$jobs" --target veltranoapi veltrano-sim raw_stream_bench >&2
    status=0
    /usr/bin/python3 "$repo/bench/python_stream_bench.py" "$build_dir" --c-log "$logs/raw_stream_bench.log" \
        > "$logs/python_stream_bench.log" 2>&1 || status=$?
    rows_of python_stream_bench "$logs/python_stream_bench.log" >> "$rows"
    [ "$status" -eq 0 ] || printf 'python_stream_bench\tFAILED (exit %d)\t-\t-\t-\tNO\n' "$status" >> "$rows"
fi
# --- end of the Python stream benchmark ---

awk -F '\t' '
    { for (i = 1; i <= NF; i++) { cell[NR, i] = $i; if (length($i) > width[i]) width[i] = length($i) } }
    END {
        for (r = 1; r <= NR; r++) {
            line = ""
            for (i = 1; i <= 6; i++) line = line sprintf(i < 6 ? "%-" width[i] "s | " : "%s", cell[r, i])
            print line
            if (r == 1) {
                rule = ""
                for (i = 1; i <= 6; i++) rule = rule sprintf("%s%s", sprintf("%" width[i] "s", "") , i < 6 ? "-+-" : "")
                gsub(/ /, "-", rule)
                print rule
            }
        }
    }' "$rows"
echo "whole run: $((SECONDS - total_start)) s (logs in $logs)"
