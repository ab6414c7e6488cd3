#!/usr/bin/env bash
# Builds the benchmarks in a Release build directory, runs each of them three
# times and prints one table: for every row the run with the median ratio (its
# figures), the spread of the ratio over the runs (lowest-highest), whether the
# median meets the target, what the baseline is and where the data come from.
# It prints the core count and the load average before and after, so a reader
# sees whether the run had the machine to itself.
#
#   bench/run.sh                              # build dir build/bench
#   BUILD_DIR=/tmp/b JOBS=2 bench/run.sh      # another build dir, -j2
#   RUNS=1 bench/run.sh latency_bench         # only this benchmark, once
#
# Adding a benchmark: a program that prints one line per table row,
#
#   ROW<tab>name<tab>ours<tab>baseline<tab>baseline is<tab>source<tab>ratio<tab>target
#
# figures with their unit ("812.4 MiB/s", "36.8 us"), ratio and target "-"
# when there are none; a target ending in "x" (">= 0.85x") is judged on the
# ratio, any other ("< 256 MiB") on our figure. Name it in all_benches below:
# a name is taken from $BUILD_DIR/bench/<name> when that was built, otherwise
# it is run as a command line from the repository (for scripts). Each run's
# output is kept in $BUILD_DIR/bench-logs/<name>.<run>.log.
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="${BUILD_DIR:-$repo/build/bench}"
jobs="${JOBS:-2}"
runs="${RUNS:-3}"
all_benches=(latency_bench parallel_sessions_bench analysis_fetch_bench csv_save_bench hex_bench
             volume_writer_bench raw_stream_bench "python3 bench/python_stream_bench.py $build_dir")
if [ "$#" -gt 0 ]; then
    benches=("$@")
else
    benches=("${all_benches[@]}")
fi

built=()
for bench in "${benches[@]}"; do
    if [ -f "$repo/bench/$bench.cpp" ]; then
        built+=("$bench")
    fi
done
if [ ! -f "$build_dir/CMakeCache.txt" ]; then
    cmake -S "$repo" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELTRANO_BUILD_BENCH=ON \
        -DVELTRANO_BUILD_TESTS=OFF -DVELTRANO_BUILD_EXAMPLES=OFF >&2
fi
if [ "${#built[@]}" -gt 0 ]; then
    cmake --build "$build_dir" -j "$jobs" --target "${built[@]}" >&2
fi

logs="$build_dir/bench-logs"
mkdir -p "$logs"
rows="$logs/rows.tsv"
: > "$rows"

load() { cut -d ' ' -f 1-3 /proc/loadavg; }
echo "cores: $(nproc), load average before: $(load)"

total_start=$SECONDS
for bench in "${benches[@]}"; do
    start=$SECONDS
    echo "running $bench ($runs runs) ..." >&2
    for run in $(seq 1 "$runs"); do
        name="${bench#python3 }"
        log="$logs/$(basename "${name%% *}").$run.log"
        status=0
        if [ -x "$build_dir/bench/$bench" ]; then
            "$build_dir/bench/$bench" > "$log" 2>&1 || status=$?
        else
            (cd "$repo" && eval "$bench") > "$log" 2>&1 || status=$?
        fi
        grep $'^ROW\t' "$log" | cut -f 2- >> "$rows" || true
        if [ "$status" -ne 0 ]; then
            printf '%s (run %d)\tFAILED (exit %d)\t-\t-\t-\t-\t-\n' "$bench" "$run" "$status" >> "$rows"
        fi
    done
    echo "  $bench: $((SECONDS - start)) s" >&2
done

# Per row name, in the order rows first appear: the run with the median ratio
# (its figures and ratio; for rows without a ratio, the median of our figure),
# the spread of the ratio over the runs, and the target judged on the median.
awk -F '\t' '
    function number(text) { return text + 0 }
    function unit(text) { sub(/^[-+0-9.e]+ */, "", text); return text }
    function isFigure(text) { return text ~ /^[-+]?[0-9.]/ }
    function medianRun(key, column,    n, i, j, t, runOf) {
        n = count[key]
        for (i = 1; i <= n; i++) runOf[i] = i
        for (i = 2; i <= n; i++) {
            t = runOf[i]
            for (j = i - 1; j >= 1 && number(cell[key, runOf[j], column]) > number(cell[key, t, column]); j--) runOf[j + 1] = runOf[j]
            runOf[j + 1] = t
        }
        return runOf[int((n + 1) / 2)]
    }
    function spread(key, column,    n, i, low, high, v) {
        n = count[key]; low = high = number(cell[key, 1, column])
        for (i = 2; i <= n; i++) { v = number(cell[key, i, column]); if (v < low) low = v; if (v > high) high = v }
        return n < 2 ? "-" : sprintf("%.2f-%.2f", low, high)
    }
    function figure(text,    value) {
        if (!isFigure(text)) return text
        value = number(text)
        return sprintf(value >= 100 ? "%.0f %s" : "%.3g %s", value, unit(text))
    }
    function judged(target, ratio, ours,    op, limit, value) {
        if (target == "-") return "-"
        op = target; sub(/ .*/, "", op)
        limit = target; sub(/^[^ ]+ /, "", limit)
        value = limit ~ /x$/ ? number(ratio) : number(ours)
        limit = number(limit)
        if (op == ">=") return value >= limit ? "yes" : "NO"
        if (op == "<=") return value <= limit ? "yes" : "NO"
        if (op == ">") return value > limit ? "yes" : "NO"
        if (op == "<") return value < limit ? "yes" : "NO"
        return "?"
    }
    {
        key = $1
        if (!(key in count)) { order[++keys] = key; count[key] = 0 }
        n = ++count[key]
        for (i = 2; i <= NF; i++) cell[key, n, i - 1] = $i
    }
    END {
        print "benchmark\tours\tbaseline\tratio\tspread\ttarget\tmet?\tbaseline is\tsource"
        for (k = 1; k <= keys; k++) {
            key = order[k]
            hasRatio = isFigure(cell[key, 1, 5])
            run = medianRun(key, hasRatio ? 5 : 1)
            ratio = hasRatio ? sprintf("%.2fx", number(cell[key, run, 5])) : "-"
            printf "%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n", key, figure(cell[key, run, 1]), figure(cell[key, run, 2]),
                   ratio, hasRatio ? spread(key, 5) : "-", cell[key, run, 6],
                   judged(cell[key, run, 6], cell[key, run, 5], cell[key, run, 1]), cell[key, run, 3], cell[key, run, 4]
        }
    }' "$rows" > "$logs/table.tsv"

awk -F '\t' '
    { for (i = 1; i <= NF; i++) { cell[NR, i] = $i; if (length($i) > width[i]) width[i] = length($i) } columns = NF > columns ? NF : columns }
    END {
        for (r = 1; r <= NR; r++) {
            line = ""
            for (i = 1; i <= columns; i++) line = line sprintf(i < columns ? "%-" width[i] "s | " : "%s", cell[r, i])
            print line
            if (r == 1) {
                rule = ""
                for (i = 1; i <= columns; i++) rule = rule sprintf("%" width[i] "s", "") (i < columns ? "-+-" : "")
                gsub(/ /, "-", rule)
                print rule
            }
        }
    }' "$logs/table.tsv"
echo "each row: the run with the median ratio of $runs (or the median figure); spread: lowest-highest ratio"
echo "cores: $(nproc), load average after: $(load)"
echo "whole run: $((SECONDS - total_start)) s (logs in $logs)"
