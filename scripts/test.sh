#!/usr/bin/env bash
# Builds photocheck and runs every test suite: the Linux build with warnings
# as errors, the AddressSanitizer + UndefinedBehaviorSanitizer build, the
# ThreadSanitizer build, the fuzz targets for a bounded time, the Windows
# build under Wine, and the release packages (made from clean Release builds
# and checked).
# Installs whatever Debian packages are missing first.
#
# Usage: scripts/test.sh [--quick]   (--quick: the Linux build's tests only)
set -euo pipefail
cd "$(dirname "$0")/.."

quick=0
[ "${1:-}" = "--quick" ] && quick=1

started=$SECONDS
step() { printf '\n=== %s (%ds)\n' "$*" $((SECONDS - started)); }

# clang-format 19 checks the sources' formatting, on Debian 12 and 13 alike
# (scripts/check-sources.sh says why one version; where the archive has none,
# the check says it was not made). The full run also builds the fuzz targets
# with clang, which need the sanitizer runtime of the very clang installed:
# libclang-rt-14-dev on Debian 12, libclang-rt-19-dev on Debian 13.
step "Debian packages"
if [ "$quick" -eq 1 ]; then
  scripts/install-deps.sh 'clang-format-19?' locales strace gdal-bin
else
  # chromium: the HTML page test loads the sample page in a real browser.
  # gdal-bin: the GeoJSON test opens the report with GDAL's ogrinfo.
  scripts/install-deps.sh clang 'clang-format-19?' locales strace chromium gdal-bin
  scripts/install-deps.sh "libclang-rt-$(clang -dumpversion | cut -d. -f1)-dev"
fi

step "Sources: formatting, trailing blanks, carriage returns"
scripts/check-sources.sh

step "Linux build, warnings as errors"
cmake --preset ci >/dev/null
cmake --build --preset ci
ctest --preset ci

if [ "$quick" -eq 1 ]; then
  step "done"
  exit 0
fi

step "AddressSanitizer + UndefinedBehaviorSanitizer build"
cmake --preset asan >/dev/null
cmake --build --preset asan
# The sanitized photocheck aborts on any leak or undefined behaviour (its
# built-in options), so the end-to-end tests, which run it, catch both.
ctest --preset asan

step "ThreadSanitizer build"
cmake --preset tsan >/dev/null
cmake --build --preset tsan
# photocheck reads photos on worker threads; a data race in a run ends it with
# ThreadSanitizer's exit status (66), which no end-to-end test expects. The
# preset leaves out the EXIF reader's own suite: it runs on one thread, and
# its largest files take minutes under ThreadSanitizer.
ctest --preset tsan

if [ -x scripts/fuzz-all.sh ]; then
  step "Fuzz targets"
  scripts/fuzz-all.sh
fi

if [ -x scripts/windows.sh ]; then
  step "Windows build under Wine"
  scripts/windows.sh
fi

if [ -x scripts/release.sh ]; then
  step "Release packages"
  scripts/release.sh --check
fi

step "done"
