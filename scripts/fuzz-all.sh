#!/usr/bin/env bash
# Runs every fuzz target for a bounded time (FUZZ_SECONDS each, 60 by
# default) and fails on the first finding. CI runs this.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
for target in parse_jpeg xmp settings check_pass; do
  printf '\n--- fuzzing %s for %s s\n' "$target" "$seconds"
  scripts/fuzz.sh "$target" "$seconds"
done
