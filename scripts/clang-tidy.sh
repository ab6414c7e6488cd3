#!/usr/bin/env bash
# Runs clang-tidy-14 (the checks in .clang-tidy) on every translation unit of
# src/ and sim/ in build/<preset>/compile_commands.json, two files at a time
# (TIDY_JOBS), and fails on any finding. Findings in headers are reported once,
# as "file:line: check: message" with paths from the repository's root; the
# last line is a one-line summary.
#   scripts/clang-tidy.sh             the default preset's build
#   scripts/clang-tidy.sh asan        another configured preset
#   TIDY_DIRS="sim" scripts/clang-tidy.sh   only the simulator
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

preset=${1:-default}
jobs=${TIDY_JOBS:-2}
dirs=${TIDY_DIRS:-"src sim"}
database=build/$preset/compile_commands.json
if [ ! -f "$database" ]; then
  echo "clang-tidy: $database is missing: configure the preset first (cmake --preset $preset)" >&2
  exit 2
fi
if ! command -v clang-tidy-14 >/dev/null; then
  echo "clang-tidy: clang-tidy-14 is not installed (scripts/install-deps.sh installs it)" >&2
  exit 2
fi

mapfile -t files < <(python3 - "$database" "$root" $dirs <<'EOF'
import json, os, sys
database, root, dirs = sys.argv[1], sys.argv[2], sys.argv[3:]
prefixes = tuple(os.path.join(root, d) + os.sep for d in dirs)
seen = set()
for entry in json.load(open(database)):
    path = os.path.normpath(os.path.join(entry["directory"], entry["file"]))
    if path.startswith(prefixes) and path not in seen:
        seen.add(path)
        print(os.path.relpath(path, root))
EOF
)
if [ ${#files[@]} -eq 0 ]; then
  echo "clang-tidy: no translation units of $dirs in $database" >&2
  exit 2
fi

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
start=$SECONDS
# Each file's output goes to its own log; a file whose run fails without a
# finding (a compile error, a crash) is listed as failed.
printf '%s\n' "${files[@]}" | xargs -P "$jobs" -I{} sh -c '
  log="$1/$(echo "$2" | tr / _).log"
  if ! clang-tidy-14 -p "build/$3" --quiet "$2" >"$log" 2>&1; then echo "$2" >>"$1/failed"; fi
' _ "$out" {} "$preset"
elapsed=$((SECONDS - start))

# "path:line:col: error: message [check,-warnings-as-errors]" once per place.
cat "$out"/*.log | sed -n -E "s#^$root/##; s#^([^ :]+):([0-9]+):[0-9]+: (warning|error): (.*) \[([^],]+)(,[^]]*)?\]\$#\1:\2: \5: \4#p" \
  | sort -u | sort -t: -k1,1 -k2,2n -s >"$out/findings"
findings=$(wc -l <"$out/findings")
cat "$out/findings"
broken=0
if [ -f "$out/failed" ] && [ "$findings" -eq 0 ]; then
  broken=$(wc -l <"$out/failed")
  echo "clang-tidy: these files failed without a finding:" >&2
  sort "$out/failed" | while read -r file; do
    echo "== $file" >&2
    cat "$out/$(echo "$file" | tr / _).log" >&2
  done
fi
counts=()
for dir in $dirs; do
  counts+=("$dir: $(grep -c "^$dir/" "$out/findings" || true)")
done
if [ "$broken" -gt 0 ]; then counts+=("failed runs: $broken"); fi
summary=$(IFS=,; echo "${counts[*]}" | sed 's/,/, /g')
echo "clang-tidy: ${#files[@]} files of ${dirs// /, }, $findings findings ($summary) in ${elapsed}s"
[ "$findings" -eq 0 ] && [ "$broken" -eq 0 ]
