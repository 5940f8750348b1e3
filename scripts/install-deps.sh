#!/usr/bin/env bash
# Installs the Debian packages a build needs, only those that are missing, so
# a second run costs nothing. Usage: scripts/install-deps.sh [extra packages]
# A package written with a trailing "?" (clang-format-19?) is installed where
# the system's archive has it and passed over, with a line saying so, where
# it does not.
set -euo pipefail

missing=()
optional=()
for package in cmake ninja-build g++ rapidjson-dev libgtest-dev libexpat1-dev "$@"; do
  name=${package%\?}
  if ! dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q 'install ok installed'; then
    if [ "$name" = "$package" ]; then missing+=("$name"); else optional+=("$name"); fi
  fi
done
[ ${#missing[@]} -eq 0 ] && [ ${#optional[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
for name in ${optional[@]+"${optional[@]}"}; do
  if apt-cache show "$name" >/dev/null 2>&1; then
    missing+=("$name")
  else
    echo "not installed: $name (this system's archive has no such package)"
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "installing the Debian packages: ${missing[*]} (apt-get, a few minutes)"
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
