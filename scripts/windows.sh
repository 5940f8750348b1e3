#!/usr/bin/env bash
# Builds the Windows executable build/windows/app/photocheck.exe with the
# mingw-w64 cross compiler and runs the whole test suite under Wine.
#
#   scripts/windows.sh           build, then run every test under Wine
#   scripts/windows.sh --build   build only (no Wine needed)
#
# Installs the Debian packages it needs when they are missing. Wine runs in a
# private prefix under build/windows, with its own server, which is stopped
# when the script ends.
set -euo pipefail

mode=test
case "${1:-}" in
  "") ;;
  --build) mode=build ;;
  *) echo "usage: scripts/windows.sh [--build]" >&2; exit 2 ;;
esac

cd "$(dirname "$0")/.."
root=$PWD
build=$root/build/windows
started=$SECONDS

say() { printf '== %s (%ds)\n' "$*" $((SECONDS - started)); }

# --- packages ---------------------------------------------------------------
packages=(g++-mingw-w64-x86-64-posix cmake ninja-build rapidjson-dev googletest)
if [ "$mode" = test ]; then packages+=(wine64 wine locales); fi
missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  say "installing ${missing[*]}"
  sudo=()
  if [ "$(id -u)" != 0 ]; then sudo=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update
  "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}" </dev/null
fi

# --- build ------------------------------------------------------------------
say "the libraries Debian has no mingw-w64 build of"
scripts/windows-deps.sh
say "configuring"
cmake --preset windows >/dev/null
say "building"
cmake --build --preset windows

# One file that runs on any 64-bit Windows: it may import system DLLs only.
exe=$build/app/photocheck.exe
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
for dll in $imports; do
  case "${dll,,}" in
    kernel32.dll | msvcrt.dll) ;;
    *) echo "photocheck.exe imports $dll, which is not a system DLL" >&2; exit 1 ;;
  esac
done
say "built $exe (imports: $(echo $imports))"
if [ "$mode" = build ]; then exit 0; fi

# --- Chinese locale ---------------------------------------------------------
# Wine takes its ANSI code page from the Unix locale: zh_CN.UTF-8 gives code
# page 936 (GBK), C.UTF-8 gives 1252. The tests of file names run under both
# (see tests/windows); the Chinese locale is built into the build tree and
# found through LOCPATH.
locales=$build/locale
if [ ! -e "$locales/zh_CN.UTF-8/LC_CTYPE" ]; then
  say "building the zh_CN.UTF-8 locale"
  mkdir -p "$locales"
  localedef -i zh_CN -f UTF-8 "$locales/zh_CN.UTF-8" || [ -e "$locales/zh_CN.UTF-8/LC_CTYPE" ]
fi

# --- Wine -------------------------------------------------------------------
source scripts/wine-env.sh
trap wine_stop EXIT
wine_start

say "running the tests under Wine"
ctest --test-dir "$build" --output-on-failure --timeout 120 </dev/null
say "done"
