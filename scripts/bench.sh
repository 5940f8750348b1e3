#!/usr/bin/env bash
# The speed benchmark (see bench/README.md). Builds photocheck and the bench
# tools under build/bench, generates the photo sets once (cached), then times
# photocheck against the floor reader and, when installed, exiftool -fast2 and
# exiv2, on a warm and on a cold page cache and through a slow share (a FUSE
# file system of ours that waits in each request), alternating the tools.
#
# Usage: scripts/bench.sh [options]
#   --warm N              timed warm runs per tool (default 5)
#   --cold N              timed cold runs per tool (default 3; 0 skips cold)
#   --share-runs N        timed runs per tool through the share (default 1; 0
#                         skips the share cells), each cell after one warm-up
#   --share-delay MS      the share's wait per request in ms (default 1)
#   --far                 only share cells, at 20 ms a request (a VPN, a cloud
#                         drive), and only the tools that keep reads in flight:
#                         photocheck, floor-j16 and floor-j64 (a tool reading
#                         one file after another would take 20 to 80 minutes
#                         on the small set there)
#   --share-attr-cache S  seconds the share's client keeps names and attributes
#                         (default 1, as SMB; 0: every stat reaches the server)
#   --jobs N              reads in flight in the parallel floor (default 16)
#   --baseline-runs N     runs of exiftool and exiv2 per cache state (default 1)
#   --sets "large small"  which sets to time (default both)
#   --no-baselines        do not run exiftool or exiv2
#   --install-baselines   install exiftool, exiv2 (Debian) first when missing
#   --photocheck PATH     time this photocheck binary instead of building one
#   --save-output DIR     only run photocheck once per set and keep its stdout,
#                         exit status and error.json in DIR
#   --compare-output DIR  only run photocheck once per set and compare all of
#                         that byte for byte with what --save-output kept in DIR;
#                         then once more per set through the share, unless
#                         --share-runs 0
#   --scale               only the scale runs: 100,000 files in one folder, a
#                         tree 1,000 folders deep and 1,000,000 files (ten
#                         folders of links to the 100,000), checked to the end
#   --scale-runs N        timed runs per tool and set in the scale runs
#                         (default 1)
#   --page                only the page cell: headless Chromium loads the
#                         sample set's page and the small set's page
#                         (PHOTOCHECK_HTML), taking turns, and the medians of
#                         their load times and their difference are printed
#   --page-runs N         loads of each page in the page cell (default 7)
#   --side-files          only the side files' cost: the survey set (100,000
#                         drone photos with the XMP block) checked without and
#                         with PHOTOCHECK_HTML and PHOTOCHECK_GEOJSON (the
#                         readiness analyses included), in pairs, warm
#   --side-runs N         pairs of runs in the side files' cell (default 3)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bench=$root/build/bench

warmRuns=5
coldRuns=3
shareRuns=1
shareDelay=1
shareAttrCache=1
jobs=16
baselineRuns=1
sets="large small"
baselines=1
far=0
installBaselines=0
photocheck=""
mode=time
sideRuns=3
outputDir=""
scaleRuns=1
pageRuns=7

while [ $# -gt 0 ]; do
  case "$1" in
    --warm) warmRuns=$2; shift ;;
    --cold) coldRuns=$2; shift ;;
    --share-runs) shareRuns=$2; shift ;;
    --share-delay) shareDelay=$2; shift ;;
    --far) far=1; shareDelay=20 ;;
    --share-attr-cache) shareAttrCache=$2; shift ;;
    --jobs) jobs=$2; shift ;;
    --baseline-runs) baselineRuns=$2; shift ;;
    --sets) sets=$2; shift ;;
    --no-baselines) baselines=0 ;;
    --install-baselines) installBaselines=1 ;;
    --photocheck) photocheck=$(realpath "$2"); shift ;;
    --save-output) mode=save; outputDir=$2; shift ;;
    --compare-output) mode=compare; outputDir=$2; shift ;;
    --scale) mode=scale ;;
    --scale-runs) scaleRuns=$2; shift ;;
    --page) mode=page ;;
    --page-runs) pageRuns=$2; shift ;;
    --side-files) mode=sides ;;
    --side-runs) sideRuns=$2; shift ;;
    -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "unknown option: $1" >&2; exit 2 ;;
  esac
  shift
done

say() { printf '%s\n' "$*" >&2; }

# ---------------------------------------------------------------- build

scripts/install-deps.sh
if [ "$mode" = page ]; then
  scripts/install-deps.sh chromium || say "could not install chromium"
fi
if [ "$installBaselines" -eq 1 ]; then
  scripts/install-deps.sh libimage-exiftool-perl exiv2
fi
# The share cells need libfuse3 to build the share and fusermount3 (fuse3)
# to mount it without root.
if [ "$mode" != save ] && [ "$mode" != scale ] && [ "$shareRuns" -gt 0 ]; then
  scripts/install-deps.sh libfuse3-dev fuse3 ||
    say "could not install libfuse3-dev and fuse3: the share cells will be skipped"
fi

if [ -z "$photocheck" ]; then
  say "building photocheck (RelWithDebInfo) in build/bench/tool"
  cmake -S . -B "$bench/tool" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPHOTOCHECK_TESTS=OFF >/dev/null
  cmake --build "$bench/tool" --target photocheck >/dev/null
  photocheck=$bench/tool/app/photocheck
fi
say "building the bench tools in build/bench/tools"
cmake -S bench -B "$bench/tools" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$bench/tools" >/dev/null
generate=$bench/tools/generate_sets
floor=$bench/tools/floor_reader
timed=$bench/tools/run_timed
shareTool=$bench/tools/slow_share

# ---------------------------------------------------------------- sets

# Generates set $1 unless the cached copy was made by the same generator.
ensureSet() {
  local name=$1 folder=$bench/sets/$1
  local stamp
  stamp=$(cat bench/generate_sets.cc tests/support/jpeg_builder.cc | md5sum | cut -d' ' -f1)
  if [ -f "$folder.stamp" ] && [ "$(cat "$folder.stamp")" = "$stamp" ]; then return; fi
  say "generating the $name set in build/bench/sets/$name"
  rm -rf "$folder" "$folder.stamp"
  mkdir -p "$bench/sets"
  "$generate" "$name" "$folder"
  echo "$stamp" >"$folder.stamp"
}

# The million set: ten folders, each holding a hard link to every photo of
# the flat set (copies where links cannot be made), so that it costs the
# disk ten folders of names. Made again when the flat set was.
ensureMillion() {
  local folder=$bench/sets/million part
  if [ -f "$folder.stamp" ] && cmp -s "$folder.stamp" "$bench/sets/flat.stamp"; then return; fi
  say "making the million set in build/bench/sets/million (ten folders of links to the flat set)"
  rm -rf "$folder" "$folder.stamp"
  mkdir -p "$folder"
  for part in 0 1 2 3 4 5 6 7 8 9; do
    cp -al "$bench/sets/flat" "$folder/part$part" 2>/dev/null ||
      { rm -rf "$folder/part$part"; cp -a "$bench/sets/flat" "$folder/part$part"; }
  done
  cp "$bench/sets/flat.stamp" "$folder.stamp"
}

# A settings file with all four checks on for set $1, reading the photos in
# folder $2 (default: the set's own folder); prints its path.
settingsFor() {
  local file=$bench/$1.settings
  printf 'focal=true\ngps=true\nmaker=true\nresolution=true\nzimages=%s\nzoutput=%s\n' \
    "${2:-$bench/sets/$1}" "$bench/out/$1" >"$file"
  echo "$file"
}

# ---------------------------------------------------------------- the share

# Each set is shown through its own slow share at build/bench/share/SET while
# its share cell runs; the mount is ended by ending its server, on exit too.
sharePid=""
shareMount=""

cleanUp() {
  unmountShare
  if [ -n "${results:-}" ]; then rm -f "$results"; fi
  if [ -n "${fresh:-}" ]; then rm -rf "$fresh"; fi
}
trap cleanUp EXIT

# Prints why no share can be mounted here, or nothing when one can.
shareBlocker() {
  if [ ! -x "$shareTool" ]; then
    echo "bench/slow_share was not built (it needs the Debian package libfuse3-dev)"
  elif [ ! -e /dev/fuse ]; then
    echo "there is no /dev/fuse"
  elif [ "$(id -u)" -ne 0 ] && ! command -v fusermount3 >/dev/null; then
    echo "mounting it needs root or fusermount3 (Debian package fuse3)"
  fi
}

# Mounts set $1 through the slow share; false, with a message, when it fails.
mountShare() {
  local set=$1 mount=$bench/share/$1 tries
  mkdir -p "$mount"
  if mountpoint -q "$mount"; then  # left over from a run that was killed
    fusermount3 -u "$mount" 2>/dev/null || umount "$mount" 2>/dev/null || true
  fi
  rm -f "$bench/share/$set.counts"
  "$shareTool" --delay-ms "$shareDelay" --attr-cache "$shareAttrCache" \
    --counts "$bench/share/$set.counts" "$bench/sets/$set" "$mount" 2>"$bench/share/$set.log" &
  sharePid=$!
  for ((tries = 0; tries < 100; tries++)); do
    if mountpoint -q "$mount"; then
      shareMount=$mount
      return 0
    fi
    kill -0 "$sharePid" 2>/dev/null || break
    sleep 0.1
  done
  say "could not mount the $set set through the slow share: $(cat "$bench/share/$set.log")"
  unmountShare
  return 1
}

# Ends the share's server, which unmounts it.
unmountShare() {
  [ -n "$sharePid" ] || return 0
  kill -TERM "$sharePid" 2>/dev/null || true
  wait "$sharePid" 2>/dev/null || true
  if [ -n "$shareMount" ] && mountpoint -q "$shareMount"; then
    fusermount3 -u "$shareMount" 2>/dev/null || umount "$shareMount" 2>/dev/null || true
  fi
  sharePid=""
  shareMount=""
}

shareOk=0
if [ "$mode" != save ] && [ "$mode" != scale ] && [ "$shareRuns" -gt 0 ]; then
  blocker=$(shareBlocker)
  if [ -z "$blocker" ]; then
    shareOk=1
  else
    say "no share cells: $blocker"
  fi
fi

# ---------------------------------------------------------------- output comparison

runForOutput() {  # set, folder to keep the results in[, folder of the photos]
  local set=$1 into=$2 settings status=0
  settings=$(settingsFor "$set" "${3:-}")
  rm -f "$bench/out/$set/error.json"
  "$photocheck" "$settings" >"$into/$set.stdout" || status=$?
  echo "$status" >"$into/$set.status"
  if [ -f "$bench/out/$set/error.json" ]; then
    cp "$bench/out/$set/error.json" "$into/$set.error.json"
  else
    : >"$into/$set.error.json"
  fi
}

if [ "$mode" = save ] || [ "$mode" = compare ]; then
  mkdir -p "$outputDir"
  outputDir=$(realpath "$outputDir")
  for set in $sets; do ensureSet "$set"; done
  if [ "$mode" = save ]; then
    for set in $sets; do
      runForOutput "$set" "$outputDir"
      cp "$bench/sets/$set.stamp" "$outputDir/$set.stamp"
    done
    say "photocheck's output on the sets ($sets) kept in $outputDir"
    exit 0
  fi
  fresh=$(mktemp -d)
  differ=0
  # compareRun SET LABEL FOLDER: compares what photocheck left in FOLDER with
  # what was kept.
  compareRun() {
    local set=$1 label=$2 from=$3 part
    for part in stdout status error.json; do
      if cmp -s "$outputDir/$set.$part" "$from/$set.$part"; then
        say "$set.$part$label: identical ($(wc -c <"$from/$set.$part") bytes)"
      else
        say "$set.$part$label: DIFFERS"
        differ=1
      fi
    done
  }
  for set in $sets; do
    if ! cmp -s "$bench/sets/$set.stamp" "$outputDir/$set.stamp"; then
      say "the $set set was generated anew since $outputDir was saved (the generator or the" \
        "JPEG builder changed): save the old output again first"
      exit 2
    fi
    runForOutput "$set" "$fresh"
    compareRun "$set" "" "$fresh"
    # Through the share the settings name the mount point instead of the
    # set's folder, and photocheck echoes them: that path is written back as
    # the folder's before comparing. Every other byte must be the same.
    if [ "$shareOk" -eq 1 ] && mountShare "$set"; then
      mkdir -p "$fresh/share"
      runForOutput "$set" "$fresh/share" "$shareMount"
      pattern=$(printf '%s' "$shareMount" | sed 's/[][\.*^$|]/\\&/g')
      for part in stdout error.json; do
        LC_ALL=C sed -i "s|$pattern|$bench/sets/$set|g" "$fresh/share/$set.$part"
      done
      unmountShare
      compareRun "$set" " through the share" "$fresh/share"
    fi
  done
  exit "$differ"
fi

# ---------------------------------------------------------------- timing

canDropCaches() {
  [ -w /proc/sys/vm/drop_caches ] && { sync; echo 3 >/proc/sys/vm/drop_caches; } 2>/dev/null
}
dropCaches() { sync; echo 3 >/proc/sys/vm/drop_caches; }

results=$(mktemp)

# measure LABEL SET STATE [-C FOLDER] -- COMMAND...: one timed run, recorded.
# The baselines' complaints about photos without EXIF go to /dev/null.
measure() {
  local label=$1 set=$2 state=$3 line before requests=-
  shift 3
  if [ "$state" = cold ]; then dropCaches; fi
  if [ "$state" = share ]; then before=$(shareRequests "$set"); fi
  case "$label" in
    exiv2|exiftool*) line=$("$timed" /dev/null "$@" 2>/dev/null) ;;
    *) line=$("$timed" /dev/null "$@") ;;
  esac
  if [ "$label" = photocheck ] && [ "${line##* }" -gt 1 ]; then
    say "photocheck ended with status ${line##* } on the $set set"
  fi
  if [ "$state" = share ]; then
    requests=$(awk -v n="$(shareRequests "$set")" -v b="$before" -v f="$shareFiles" \
      'BEGIN { printf "%.2f", (n - b) / f }')
  fi
  echo "$set $state $label $line $requests" >>"$results"
}

# All requests the share of set $1 has served so far, once its counts file
# has caught up (it is rewritten every 20 ms).
shareRequests() {
  sleep 0.05
  awk '{ total += $2 } END { print total + 0 }' "$bench/share/$1.counts" 2>/dev/null || echo 0
}

haveExiftool=0
haveExiv2=0
if [ "$baselines" -eq 1 ]; then
  command -v exiftool >/dev/null && haveExiftool=1
  command -v exiv2 >/dev/null && haveExiv2=1
  if [ "$haveExiftool" -eq 0 ]; then
    say "exiftool is not installed: no exiftool -fast2 baseline (--install-baselines)"
  fi
  if [ "$haveExiv2" -eq 0 ]; then
    say "exiv2 is not installed: no exiv2 baseline (--install-baselines)"
  fi
fi

# timeSet SET STATE RUNS: every tool, alternating, RUNS times (baselines
# baselineRuns times). STATE is warm, cold or share (warm on the server's
# side, through the slow share mounted by the caller).
timeSet() {
  local set=$1 state=$2 runs=$3 folder=$bench/sets/$1 settings run
  if [ "$state" = share ]; then folder=$shareMount; fi
  settings=$(settingsFor "$set" "$folder")
  local -a names
  mapfile -t names < <(cd "$bench/sets/$set" && ls)
  shareFiles=${#names[@]}
  if [ "$state" = warm ]; then
    # Untimed: fills the page cache and loads each program once.
    "$photocheck" "$settings" >/dev/null || true
    "$floor" 4 "$folder" >/dev/null
  fi
  if [ "$state" = share ]; then
    # Untimed: every byte of the set into the page cache under the share, as
    # on a file server that has the photos in memory, and one parallel pass
    # through the share. A whole untimed run of each tool would double the
    # cell's minutes.
    find "$bench/sets/$set" -type f -print0 | xargs -0 cat >/dev/null
    "$floor" -j "$jobs" 1 "$folder" >/dev/null
  fi
  if [ "$state" != cold ]; then
    if [ "$haveExiftool" -eq 1 ]; then
      exiftool -fast2 "$folder/${names[0]}" >/dev/null 2>&1 || true
    fi
    if [ "$haveExiv2" -eq 1 ] && [ "$state" = warm ]; then
      (cd "$folder" && exiv2 -q pr "${names[@]}" >/dev/null 2>&1) || true
    elif [ "$haveExiv2" -eq 1 ]; then
      exiv2 -q pr "$folder/${names[0]}" >/dev/null 2>&1 || true
    fi
  fi
  local cell="$state cache"
  if [ "$state" = share ]; then cell="${shareDelay} ms share"; fi
  # Tools that read one file after another (the sequential floors and the
  # baselines) are left out of a far share's cells.
  local sequential=1
  if [ "$far" -eq 1 ]; then sequential=0; fi
  for ((run = 1; run <= runs; run++)); do
    say "  $set, $cell, run $run of $runs"
    measure photocheck "$set" "$state" -- "$photocheck" "$settings"
    if [ "$sequential" -eq 1 ]; then
      measure floor-1-pass "$set" "$state" -- "$floor" 1 "$folder"
      measure floor-4-pass "$set" "$state" -- "$floor" 4 "$folder"
    fi
    measure "floor-j$jobs" "$set" "$state" -- "$floor" -j "$jobs" 1 "$folder"
    if [ "$jobs" -ne 64 ]; then
      measure floor-j64 "$set" "$state" -- "$floor" -j 64 1 "$folder"
    fi
    if [ "$sequential" -eq 0 ]; then continue; fi
    if [ "$run" -le "$baselineRuns" ] && [ "$haveExiv2" -eq 1 ]; then
      measure exiv2 "$set" "$state" -C "$folder" -- exiv2 -q pr "${names[@]}"
    fi
    if [ "$run" -le "$baselineRuns" ] && [ "$haveExiftool" -eq 1 ]; then
      measure "exiftool-fast2" "$set" "$state" -- exiftool -fast2 -r "$folder"
    fi
  done
}

# Median and peak memory per set, state and tool, with ratios to the floor.
report() {
  echo "median wall time of whole processes; peak = largest ru_maxrss of the runs"
  awk '
    { key = $1 " " $2 " " $3; n[key]++; t[key, n[key]] = $4; req[key] = $7
      if ($5 > peak[key]) peak[key] = $5
      if (!(key in seen)) { seen[key] = 1; order[++keys] = key } }
    function median(key,   i, j, m, tmp, a) {
      m = n[key]
      for (i = 1; i <= m; i++) a[i] = t[key, i]
      for (i = 2; i <= m; i++) for (j = i; j > 1 && a[j - 1] > a[j]; j--) {
        tmp = a[j]; a[j] = a[j - 1]; a[j - 1] = tmp }
      return m % 2 ? a[(m + 1) / 2] : (a[m / 2] + a[m / 2 + 1]) / 2
    }
    END {
      for (k = 1; k <= keys; k++) { key = order[k]; med[key] = median(key) }
      printf "%-6s %-5s %-15s %5s %11s %15s %15s %13s %9s %11s\n", "set", "cache", "tool", "runs",
             "median", "/ 4-pass floor", "/ 1-pass floor", "/ photocheck", "peak MiB",
             "req/photo"
      for (k = 1; k <= keys; k++) {
        key = order[k]; split(key, f, " ")
        base = f[1] " " f[2]
        floor4 = med[base " floor-4-pass"]; floor1 = med[base " floor-1-pass"]
        pc = med[base " photocheck"]
        printf "%-6s %-5s %-15s %5d %10.3fs %15s %15s %13s %9.1f %11s\n", f[1], f[2], f[3],
               n[key], med[key], (floor4 > 0 ? sprintf("%.2fx", med[key] / floor4) : "-"),
               (floor1 > 0 ? sprintf("%.2fx", med[key] / floor1) : "-"),
               (pc > 0 ? sprintf("%.2fx", med[key] / pc) : "-"), peak[key] / 1024,
               (req[key] != "" ? req[key] : "-")
      }
    }' "$results"
}

machineNote() {
  echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)," \
    "$(uname -sr), photocheck $photocheck"
}

# ---------------------------------------------------------------- the page

# The page's load: time from the navigation's start to the load event, then
# one layout of what the page holds, by the page's own clock
# (performance.now() in a load listener added at the top of a copy of the
# page, written into the DOM that --dump-dom prints). That is the page's own
# cost: parsing, style, layout and its script. The wall time of the whole
# Chromium process is printed beside it, but it also holds Chromium's start
# (one to three seconds, varying with the machine's load far more than the
# pages differ) and the printing of the whole DOM by --dump-dom, which no
# reader pays.
pageProbe="<script>addEventListener('load',function(){document.body.offsetHeight;"
pageProbe+="document.documentElement.setAttribute('data-load-ms',Math.round(performance.now()))"
pageProbe+="})</script>"

# loadPage NAME FILE: one load of FILE in headless Chromium, recorded.
loadPage() {
  local name=$1 file=$2 start end ms
  start=$(date +%s%N)
  ms=$(timeout 120 chromium --headless --no-sandbox --disable-gpu --hide-scrollbars \
    --user-data-dir="$fresh/profile" --window-size=1366,900 --dump-dom "file://$file" \
    2>/dev/null | grep -o 'data-load-ms="[0-9]*"' | tr -dc 0-9) || true
  end=$(date +%s%N)
  echo "$name ${ms:--} $(((end - start) / 1000000))" >>"$results"
}

if [ "$mode" = page ]; then
  if ! command -v chromium >/dev/null; then
    say "no chromium: the page cell needs it (scripts/install-deps.sh chromium)"
    exit 1
  fi
  ensureSet small
  fresh=$(mktemp -d)
  settings=$(settingsFor small)
  PHOTOCHECK_HTML=$fresh/small.html "$photocheck" "$settings" >/dev/null || true
  # The sample set's settings name folders below the checkout.
  PHOTOCHECK_HTML=$fresh/sample.html "$photocheck" examples/photocheck.settings >/dev/null || true
  for name in sample small; do
    sed "0,/<head>/s||<head>$pageProbe|" "$fresh/$name.html" >"$fresh/$name.probe.html"
  done
  loadPage warm-up "$fresh/sample.probe.html"
  : >"$results"
  for ((run = 1; run <= pageRuns; run++)); do
    say "  page loads, run $run of $pageRuns"
    loadPage sample "$fresh/sample.probe.html"
    loadPage small "$fresh/small.probe.html"
  done
  echo
  echo "the page in headless Chromium (1366x900): sample = the sample set's page ($(wc -c \
    <"$fresh/sample.html") bytes), small = the small set's, 20,000 photos ($(wc -c \
    <"$fresh/small.html") bytes); $pageRuns loads each, taking turns"
  machineNote
  awk '
    function median(list,   a, n, i, j, tmp) {
      n = split(list, a, " ")
      for (i = 2; i <= n; i++) for (j = i; j > 1 && a[j - 1] + 0 > a[j] + 0; j--) {
        tmp = a[j]; a[j] = a[j - 1]; a[j - 1] = tmp }
      return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
    }
    { load[$1] = load[$1] " " $2; wall[$1] = wall[$1] " " $3 }
    END {
      printf "%-14s %14s %11s\n", "page", "load event ms", "process ms"
      for (k = 1; k <= 2; k++) {
        name = k == 1 ? "sample" : "small"
        l[name] = median(load[name]); w[name] = median(wall[name])
        printf "%-14s %14d %11d   (loads:%s)\n", name, l[name], w[name], load[name]
      }
      printf "%-14s %14d %11d\n", "small - sample", l["small"] - l["sample"],
        w["small"] - w["sample"]
    }' "$results"
  exit 0
fi

if [ "$mode" = sides ]; then
  ensureSet survey
  settings=$(settingsFor survey)
  sides=$bench/out/sides
  mkdir -p "$sides"
  "$photocheck" "$settings" >/dev/null || true
  # Each pair runs the plain run and the one with both side files one after
  # the other, so that the machine's load weighs alike on both.
  for ((run = 1; run <= sideRuns; run++)); do
    say "  survey, warm cache, pair $run of $sideRuns"
    measure photocheck survey warm -- "$photocheck" "$settings"
    measure side-files survey warm -- env PHOTOCHECK_HTML="$sides/survey.html" \
      PHOTOCHECK_GEOJSON="$sides/survey.geojson" "$photocheck" "$settings"
  done
  echo "side files: the survey set = 100,000 drone photos (50 flights), all four checks;" \
    "side-files = PHOTOCHECK_HTML and PHOTOCHECK_GEOJSON set (readiness included)"
  machineNote
  awk '
    function median(list,   a, n, i, j, tmp) {
      n = split(list, a, " ")
      for (i = 2; i <= n; i++) for (j = i; j > 1 && a[j - 1] + 0 > a[j] + 0; j--) {
        tmp = a[j]; a[j] = a[j - 1]; a[j - 1] = tmp }
      return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
    }
    { time[$3] = time[$3] " " $4; peak[$3] = peak[$3] " " sprintf("%.1f", $5 / 1024) }
    END {
      printf "%-12s %10s %10s   %s\n", "run", "median s", "peak MiB", "(times; peaks)"
      for (k = 1; k <= 2; k++) {
        name = k == 1 ? "photocheck" : "side-files"
        t[name] = median(time[name]); p[name] = median(peak[name])
        printf "%-12s %10.3f %10.1f   (%s;%s)\n", name, t[name], p[name], time[name], peak[name]
      }
      if (t["photocheck"] > 0) printf "side files: +%.1f%% time, +%.1f MiB peak\n",
        100 * (t["side-files"] / t["photocheck"] - 1), p["side-files"] - p["photocheck"]
    }' "$results"
  ls -l "$sides"
  exit 0
fi

if [ "$mode" = scale ]; then
  ensureSet flat
  ensureSet deep
  coldOk=0
  if [ "$coldRuns" -gt 0 ] && canDropCaches; then coldOk=1; fi
  ensureMillion
  for set in flat deep million; do
    settings=$(settingsFor "$set")
    "$photocheck" "$settings" >/dev/null || true
  done
  # The sets alternate run by run, so that the load of the machine weighs
  # alike on the 100,000 and the 1,000,000.
  for ((run = 1; run <= scaleRuns; run++)); do
    for set in flat deep million; do
      settings=$(settingsFor "$set")
      say "  $set, warm cache, run $run of $scaleRuns"
      measure photocheck "$set" warm -- "$photocheck" "$settings"
      measure floor-4-pass "$set" warm -- "$floor" 4 "$bench/sets/$set"
    done
  done
  if [ "$coldOk" -eq 1 ]; then
    for set in flat deep million; do
      settings=$(settingsFor "$set")
      say "  $set, cold cache"
      measure photocheck "$set" cold -- "$photocheck" "$settings"
      measure floor-4-pass "$set" cold -- "$floor" 4 "$bench/sets/$set"
    done
  fi
  echo
  echo "scale runs: flat = 100,000 files in one folder, deep = a tree 1,000 folders deep," \
    "million = 1,000,000 files in ten folders (links to the flat set's)"
  machineNote
  report
  # Linear time: the million's time per photo against the flat set's.
  awk '$3 == "photocheck" { t[$1 " " $2] = t[$1 " " $2] " " $4 }
    function median(list,   a, n, i, j, tmp) {
      n = split(list, a, " ")
      for (i = 2; i <= n; i++) for (j = i; j > 1 && a[j - 1] > a[j]; j--) {
        tmp = a[j]; a[j] = a[j - 1]; a[j - 1] = tmp }
      return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
    }
    END {
      split("warm cold", states, " ")
      for (s = 1; s <= 2; s++) {
        if (!(("flat " states[s]) in t) || !(("million " states[s]) in t)) continue
        flat = median(t["flat " states[s]]); million = median(t["million " states[s]])
        if (flat > 0) printf "%s: 1,000,000 photos take %.2fx ten times the 100,000 (per photo)\n",
          states[s], million / (10 * flat)
      }
    }' "$results"
  exit 0
fi

for set in $sets; do ensureSet "$set"; done
coldOk=0
if [ "$coldRuns" -gt 0 ] && [ "$far" -eq 0 ]; then
  if canDropCaches; then
    coldOk=1
  else
    say "cannot drop the page cache (needs root and a writable /proc/sys/vm/drop_caches):" \
      "cold runs skipped"
  fi
fi
for set in $sets; do
  if [ "$far" -eq 0 ]; then
    timeSet "$set" warm "$warmRuns"
    if [ "$coldOk" -eq 1 ]; then timeSet "$set" cold "$coldRuns"; fi
  fi
  if [ "$shareOk" -eq 1 ] && mountShare "$set"; then
    timeSet "$set" share "$shareRuns"
    unmountShare
  fi
done

echo
echo "large = 200 photos of about 5 MB, small = 20,000 photos of about 30 KB;" \
  "photocheck runs all four checks"
echo "floor-j$jobs = one pass with $jobs reads in flight; floor-j64 with 64"
if [ "$shareOk" -eq 1 ]; then
  echo "share = through bench/slow_share, which waits $shareDelay ms in each open, read, stat" \
    "and readdir request, caches no file contents and names and attributes for" \
    "$shareAttrCache s; $shareRuns timed run(s) per tool after one warm-up;" \
    "req/photo = requests the share served in the (last) run, per file"
fi
machineNote
echo "the whole benchmark took $SECONDS s"
report
