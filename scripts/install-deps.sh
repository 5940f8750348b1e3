#!/usr/bin/env bash
# Installs the Debian packages a build needs, only those that are missing, so
# a second run costs nothing. Usage: scripts/install-deps.sh [extra packages]
set -euo pipefail

packages=(cmake ninja-build g++ rapidjson-dev libgtest-dev "$@")

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing the Debian packages: ${missing[*]} (apt-get, a few minutes)"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
