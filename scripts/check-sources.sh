#!/usr/bin/env bash
# Checks the C++ sources the way CI does: formatted as .clang-format says,
# no trailing blanks, no carriage returns. Prints each offending file and
# exits 1 when there is any. Fix formatting with:
#   git ls-files '*.cc' '*.h' | xargs clang-format-19 -i
#
# The formatting is checked by clang-format 19 alone: each major version of
# clang-format lays out some code its own way (14, Debian 12's default, and
# 19, Debian 13's, differ on `T x{};` and on `extern "C"` declarations), so a
# check by whatever clang-format a system has would pass on one system and
# fail on another. Debian 12 and 13 both package clang-format-19, and
# scripts/test.sh installs it; where it is missing the formatting is not
# checked, and this says so.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t sources < <(git ls-files '*.cc' '*.h' '*.cmake' 'CMakeLists.txt' '*/CMakeLists.txt' '*.sh')
mapfile -t cpp < <(printf '%s\n' "${sources[@]}" | grep -E '\.(cc|h)$')
status=0

formatter=clang-format-19
if ! command -v "$formatter" >/dev/null; then
  echo "formatting NOT checked: $formatter is not installed (Debian 12 and 13 package it:" \
    "apt install $formatter); trailing blanks and carriage returns are checked"
elif ! "$formatter" --dry-run --Werror "${cpp[@]}" 2>/tmp/clang-format.$$; then
  echo "not formatted ($formatter -i fixes them):"
  grep -o '^[^:]*:' /tmp/clang-format.$$ | sort -u | sed 's/:$//; s/^/  /'
  status=1
fi
rm -f /tmp/clang-format.$$

if blanks=$(grep -l -E '[[:blank:]]+$' "${sources[@]}"); then
  echo "trailing blanks in:"
  printf '  %s\n' $blanks
  status=1
fi
if crs=$(grep -l $'\r' "${sources[@]}"); then
  echo "carriage returns in:"
  printf '  %s\n' $crs
  status=1
fi
exit $status
