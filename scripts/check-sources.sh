#!/usr/bin/env bash
# Checks the C++ sources the way CI does: formatted as .clang-format says,
# no trailing blanks, no carriage returns. Prints each offending file and
# exits 1 when there is any. Fix formatting with:
#   git ls-files '*.cc' '*.h' | xargs clang-format -i
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t sources < <(git ls-files '*.cc' '*.h' '*.cmake' 'CMakeLists.txt' '*/CMakeLists.txt' '*.sh')
mapfile -t cpp < <(printf '%s\n' "${sources[@]}" | grep -E '\.(cc|h)$')
status=0

if ! clang-format --dry-run --Werror "${cpp[@]}" 2>/tmp/clang-format.$$; then
  echo "not formatted (clang-format -i fixes them):"
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
