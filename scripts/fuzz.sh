#!/usr/bin/env bash
# Runs one libFuzzer target of the fuzz preset for a while.
#
#   scripts/fuzz.sh TARGET SECONDS      e.g. scripts/fuzz.sh parse_jpeg 60
#
# Builds the preset, seeds a work corpus (build/fuzz/corpus-TARGET, not in
# git) from the shared photo corpus when present and from the kept regression
# inputs in fuzz/regressions/TARGET, then fuzzes. Exits non-zero when the
# fuzzer finds a crash, leak or timeout; the input is copied into
# fuzz/regressions/TARGET so the test suite replays it from then on.
set -euo pipefail

if [[ $# -ne 2 ]]; then
  echo "usage: $0 TARGET SECONDS" >&2
  exit 2
fi
target=$1
seconds=$2
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "$target"

binary=$(find build/fuzz -type f -name "$target" -perm -u+x | head -n 1)
if [[ -z $binary ]]; then
  echo "fuzz target $target not found under build/fuzz" >&2
  exit 2
fi

work=build/fuzz/corpus-$target
artifacts=build/fuzz/artifacts-$target
regressions=fuzz/regressions/$target
mkdir -p "$work" "$artifacts" "$regressions"

# Inputs are limited to max_len bytes. A longer seed file is cut to its first
# max_len - 2 bytes plus its last 2 bytes, so that a JPEG keeps its metadata
# at the front and its end marker at the back.
max_len=131072
seeds=build/fuzz/seeds-$target
rm -rf "$seeds"
mkdir -p "$seeds"
shared=${PHOTOCHECK_SHARED:-$root/../shared}
for folder in "$shared/corpus/cameras" "$shared/corpus/hostile" "$regressions"; do
  if [[ ! -d $folder ]]; then
    echo "note: $folder not found, not used as seed"
    continue
  fi
  prefix=$(basename "$folder")
  for file in "$folder"/*; do
    [[ -f $file ]] || continue
    seed=$seeds/$prefix-$(basename "$file")
    if [[ $(stat -c %s "$file") -gt $max_len ]]; then
      { head -c $((max_len - 2)) "$file"; tail -c 2 "$file"; } >"$seed"
    else
      cp "$file" "$seed"
    fi
  done
done

log=$artifacts/fuzz.log
status=0
"$binary" "$work" "$seeds" \
  -max_total_time="$seconds" -max_len=$max_len -timeout=10 -rss_limit_mb=4096 \
  -artifact_prefix="$artifacts/" -print_final_stats=1 2>&1 | tee "$log" || status=$?

found=0
for artifact in "$artifacts"/crash-* "$artifacts"/leak-* "$artifacts"/timeout-* "$artifacts"/oom-*; do
  [[ -e $artifact ]] || continue
  cp "$artifact" "$regressions/"
  echo "finding kept as $regressions/$(basename "$artifact")"
  rm "$artifact"
  found=1
done

echo "executions: $(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}' | tail -n 1)"
grep -E '^#[0-9]+ +DONE' "$log" | tail -n 1 || true
if [[ $found -ne 0 || $status -ne 0 ]]; then
  echo "fuzzer found a problem (status $status)" >&2
  exit 1
fi
