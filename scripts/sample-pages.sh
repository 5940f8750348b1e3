#!/usr/bin/env bash
# Remakes docs/sample-page.png and docs/sample-page-phone.png: the page
# (PHOTOCHECK_HTML) of a survey set as headless Chromium shows it on a
# 1366x900 laptop and on a 390x844 phone, in English.
#
# The set is one flight of the benchmark's survey set (generate_sets survey
# FOLDER 2000: 20 lines of 100 drone photos with their XMP packets, a few of
# another camera, another pixel size or without the 35 mm focal length), in
# a folder whose name means nothing but a survey, /srv/survey/field-3 (or
# the folder given), then made readiness-rich by hand: a block of five lines'
# photos left out (a coverage gap, forward overlap broken), one photo copied
# (a duplicate) and one shot at -45 degrees (oblique). Every run makes the
# same set; the page's time and run id are the run's own.
#
# Usage: scripts/sample-pages.sh [--tool PHOTOCHECK] [IMAGE-FOLDER]
# --tool takes a photocheck already built (else build/default's is built).
# The folder is removed and made again; it may hold nothing but the
# IMG_*.JPG photos this script writes. Run as root (or with sudo) for /srv; installs chromium and a
# Chinese font when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."

tool=""
if [ "${1:-}" = --tool ]; then
  tool=$(realpath "$2")
  shift 2
fi
folder=${1:-/srv/survey/field-3}
say() { printf '== %s\n' "$*" >&2; }

scripts/install-deps.sh chromium 'fonts-wqy-microhei?'
if [ -z "$tool" ]; then
  say "building photocheck in build/default"
  cmake --preset default >/dev/null
  cmake --build --preset default --target photocheck >/dev/null
  tool=$PWD/build/default/app/photocheck
fi
say "building the set generator in build/bench/tools"
cmake -S bench -B build/bench/tools -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/bench/tools --target generate_sets >/dev/null

if [ -d "$folder" ] && [ -n "$(find "$folder" -mindepth 1 ! -name 'IMG_*.JPG' -print -quit)" ]; then
  say "$folder holds files this script does not make: give another folder"
  exit 1
fi
say "writing the survey set into $folder"
rm -rf "$folder"
mkdir -p "$folder"
build/bench/tools/generate_sets survey "$folder" 2000
# The 9th to the 13th line (photos 800-1299) without their photos 40 to 59:
# a hole 150 m wide and 400 m long that no photo sees.
for line in 8 9 10 11 12; do
  for step in $(seq 40 59); do
    rm "$folder/$(printf 'IMG_%06d.JPG' $((line * 100 + step)))"
  done
done
# A copy of one photo under a second name, and one photo turned to -45
# degrees (the packet keeps its length).
cp "$folder/IMG_000300.JPG" "$folder/IMG_000300_copy.JPG"
perl -0777 -pi -e 's/GimbalPitchDegree="-89\.90"/GimbalPitchDegree="-45.00"/' \
  "$folder/IMG_001530.JPG"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat >"$work/field-3.settings" <<EOF
a_check_focal_length = true
b_check_gps          = true
c_check_camera_maker = true
d_check_resolution   = true
e_image_folder       = $folder
f_output_folder      = $work/output
EOF
say "running photocheck with PHOTOCHECK_HTML"
status=0
PHOTOCHECK_HTML=$work/page.html "$tool" "$work/field-3.settings" \
  >/dev/null || status=$?
[ -f "$work/page.html" ] || { say "no page written (status $status)"; exit 1; }

# shot SIZE FILE: a screenshot of the page's first screen at SIZE.
shot() {
  local profile
  profile=$(mktemp -d "$work/profile.XXXXXX")
  timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$profile" --hide-scrollbars --force-device-scale-factor=1 \
    --accept-lang=en-US --lang=en-US --window-size="$1" --virtual-time-budget=3000 \
    --screenshot="$work/$2" "file://$work/page.html" >/dev/null 2>&1 || true
  [ -s "$work/$2" ] || { say "chromium wrote no $2"; exit 1; }
  cp "$work/$2" "docs/$2"
  say "docs/$2 ($1)"
}
shot 1366,900 sample-page.png
shot 390,844 sample-page-phone.png
