#!/usr/bin/env bash
# Builds photocheck and runs it on the bundled sample set in examples/.
# The tool writes GBK bytes; this script shows them as UTF-8 through iconv.
# Pass --raw to see the bytes exactly as the tool writes them.
# The exit status is the tool's own: 0 when the set passed, 1 when not.
# It says what it is doing on standard error: the first run installs the
# Debian packages it needs and builds the tool (a few minutes), a later one
# takes seconds.
set -euo pipefail
cd "$(dirname "$0")/.."

started=$SECONDS
say() { printf '== %s (%ds)\n' "$*" $((SECONDS - started)) >&2; }

say "checking the Debian packages the build needs (installing the missing ones)"
scripts/install-deps.sh
say "configuring the build in build/default"
cmake --preset default >/dev/null
say "building photocheck (the first build takes a minute or two)"
cmake --build --preset default --target photocheck >/dev/null
say "running build/default/app/photocheck examples/photocheck.settings"

status=0
if [ "${1:-}" = "--raw" ]; then
  build/default/app/photocheck examples/photocheck.settings || status=$?
else
  build/default/app/photocheck examples/photocheck.settings > build/default/example-output.txt || status=$?
  iconv -f GBK -t UTF-8 build/default/example-output.txt
  if [ -f build/example-output/error.json ]; then
    echo "--- build/example-output/error.json (as UTF-8):"
    iconv -f GBK -t UTF-8 build/example-output/error.json
    echo
  fi
fi
echo "--- exit status: $status"
exit "$status"
