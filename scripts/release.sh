#!/usr/bin/env bash
# Makes photocheck's release packages in dist/ with CPack, from clean Release
# builds of this checkout for Linux and for 64-bit Windows (cross-built with
# mingw-w64):
#   photocheck-VERSION-windows-x64.zip      photocheck.exe, documents, sample set
#   photocheck_VERSION_amd64.deb            for Debian 12 and later
#   photocheck-VERSION-linux-x86_64.tar.gz  the same files as the .deb
#   SHA256SUMS                              over the three
# VERSION is the one of project() in CMakeLists.txt; CHANGELOG.md must have
# its section ("## [VERSION] - date") or nothing is built. These builds, and
# only these, are configured with PHOTOCHECK_RELEASE=ON: their --version and
# Windows product version say the bare VERSION, where every other build says
# "VERSION+dev (gCOMMIT)". Every time stored in the
# packages is the time of the last commit (SOURCE_DATE_EPOCH, unless it is
# set already), so two runs from one commit give the same bytes.
#
#   scripts/release.sh          make the packages
#   scripts/release.sh --check  make them, then test them: the sums, every
#                               package's entries (names, modes, owners,
#                               order, times), the sample run of the installed
#                               .deb and .tar.gz and, under Wine, of the zip's
#                               run-example.cmd against the expected bytes in
#                               packaging/expected and the sample set's report
#                               in examples/expected, the exe's version resource
#                               and imports, and a second build from scratch
#                               in another folder that must give the same bytes
#
# With CI=true as root, --check also installs the .deb with dpkg -i, runs the
# installed tool, and removes the package again. When a package's files change
# on purpose, bring packaging/expected/*.list in line with the difference the
# check prints. Installs the Debian packages it needs when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

mode=make
case "${1:-}" in
  "") ;;
  --check) mode=check ;;
  *) echo "usage: scripts/release.sh [--check]" >&2; exit 2 ;;
esac

started=$SECONDS
say() { printf '== %s (%ds)\n' "$*" $((SECONDS - started)); }
fail() { printf 'release: FAILED: %s\n' "$*" >&2; exit 1; }

# Runs a command with its output in a log file, shown only when it fails.
logged() {
  local log=$1
  shift
  if ! "$@" >"$log" 2>&1; then
    cat "$log" >&2
    fail "$*"
  fi
}

# --- Debian packages ----------------------------------------------------------
# zip: the zip is written again in sorted order (cmake/reproducible-archives.cmake);
# lintian: the .deb's check against Debian policy; python3-pefile: reads the
# exe's version resource.
needed=(zip g++-mingw-w64-x86-64-posix)
if [ "$mode" = check ]; then needed+=(unzip python3 python3-pefile wine64 wine lintian); fi
# git: the packages are dated by the commit's time (below). A clone copied
# onto a minimal system has its history but not always the tool to read it.
if [ -e .git ]; then needed+=(git); fi
scripts/install-deps.sh "${needed[@]}"

# --- the version --------------------------------------------------------------
# A package is a release: it must say what it changes.
version=$(sed -n 's/^ *VERSION \([0-9][0-9.]*\)$/\1/p' CMakeLists.txt | head -n 1)
[ -n "$version" ] || fail "no VERSION found in project() of CMakeLists.txt"
grep -q "^## \[$version\] - " CHANGELOG.md ||
  fail "CHANGELOG.md has no section \"## [$version] - date\": a release says what it changes"
# A release holds no change still listed as Unreleased: its packaged
# changelog would open with notes its version does not have. (--check builds
# packages of any commit to test them; those are never published.)
if [ "$mode" = make ] &&
  awk '/^## \[Unreleased\]/ { on = 1; next } /^## \[/ { on = 0 } on && /^- / { found = 1 }
       END { exit !found }' CHANGELOG.md; then
  fail "CHANGELOG.md lists changes under Unreleased: move them to the section of $version"
fi

# --- the commit ---------------------------------------------------------------
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) ||
    fail "not a git checkout: set SOURCE_DATE_EPOCH to the release's time (seconds since 1970)"
fi
export SOURCE_DATE_EPOCH
export TZ=UTC LC_ALL=C
umask 022
if [ -n "$(git status --porcelain --untracked-files=no 2>/dev/null)" ]; then
  say "note: the checkout has changes that are not committed; the packages hold them"
fi

# --- making the packages ------------------------------------------------------
# makePackages BUILD OUT: clean Release builds in BUILD/linux and
# BUILD/windows, their packages and SHA256SUMS into OUT.
makePackages() {
  local build=$1 out=$2
  rm -rf "$build" "$out"
  mkdir -p "$build" "$out"
  # Neither the checkout's nor the build tree's path may reach the binaries.
  local flags="-ffile-prefix-map=$root/= -ffile-prefix-map=$build/="

  say "Linux: Release build in $build/linux"
  logged "$build/linux-configure.log" cmake -S . -B "$build/linux" -G Ninja \
    -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" \
    "-DCMAKE_CXX_FLAGS=$flags" -DPHOTOCHECK_TESTS=OFF -DPHOTOCHECK_WERROR=ON -DPHOTOCHECK_RELEASE=ON
  logged "$build/linux-build.log" cmake --build "$build/linux"
  say "Linux: packages"
  logged "$build/linux-cpack.log" cpack --config "$build/linux/CPackConfig.cmake" \
    -B "$build/linux/packages"

  say "Windows: the libraries Debian has no mingw-w64 build of"
  logged "$build/windows-deps.log" scripts/windows-deps.sh
  say "Windows: Release build in $build/windows"
  logged "$build/windows-configure.log" cmake -S . -B "$build/windows" -G Ninja \
    --toolchain "$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
    "-DCMAKE_CXX_FLAGS=$flags" -DPHOTOCHECK_TESTS=OFF -DPHOTOCHECK_WERROR=ON -DPHOTOCHECK_RELEASE=ON
  logged "$build/windows-build.log" cmake --build "$build/windows"
  say "Windows: package"
  logged "$build/windows-cpack.log" cpack --config "$build/windows/CPackConfig.cmake" \
    -B "$build/windows/packages"

  [ "$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/linux/CMakeCache.txt")" = "$version" ] ||
    fail "the build's version is not $version"
  zip=photocheck-$version-windows-x64.zip
  deb=photocheck_${version}_amd64.deb
  tgz=photocheck-$version-linux-x86_64.tar.gz
  cp "$build/windows/packages/$zip" "$build/linux/packages/$deb" \
    "$build/linux/packages/$tgz" "$out/"
  (cd "$out" && sha256sum "$zip" "$deb" "$tgz" >SHA256SUMS)
}

makePackages "$root/build/release" "$root/dist"
say "made in dist/: $zip $deb $tgz SHA256SUMS"
if [ "$mode" = make ]; then exit 0; fi

# --- checks -------------------------------------------------------------------
expected=$root/packaging/expected
# The sample set's report, the one the tests and docs/usage.md hold too.
exampleReport=$root/examples/expected/error.json
dist=$root/dist
tmp=$(mktemp -d)
debInstalled=0
cleanup() {
  if [ "$debInstalled" -eq 1 ]; then dpkg --purge photocheck >/dev/null || true; fi
  rm -rf "$tmp"
}
trap cleanup EXIT

say "the version in the changelog, the README's Install section and the manual page"
grep -q "^## \[$version\] - " CHANGELOG.md || fail "CHANGELOG.md has no section for $version"
for name in "$zip" "$deb" "$tgz"; do
  grep -qF "$name" README.md || fail "README.md's Install section does not name $name"
done
# The manual page's title line names the version it describes.
grep -q "^\.TH PHOTOCHECK 1 [0-9-]* \"photocheck $version\"" docs/photocheck.1 ||
  fail "docs/photocheck.1's .TH line does not say \"photocheck $version\""

say "SHA256SUMS"
(cd "$dist" && sha256sum --check --strict SHA256SUMS) || fail "SHA256SUMS does not verify"

# The entries of each package in archive order as "mode owner name" lines
# (the zip stores no owner), the top folder named TOP, compared with
# packaging/expected/*.list. Every entry's time must be the commit's.
stamp=$(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S')
# A zip stores times in steps of 2 s; zip rounds odd seconds up.
zipStamp=$(date -u -d "@$((SOURCE_DATE_EPOCH + SOURCE_DATE_EPOCH % 2))" '+%Y%m%d.%H%M%S')
checkEntries() {  # list name, package, top folder; tar -tv lines on stdin
  local list=$1 package=$2 top=$3
  awk -v stamp="$stamp" -v top="$top" -v package="$package" '
    { if ($4 " " $5 != stamp) { print package ": " $6 " has the time " $4 " " $5 > "/dev/stderr"; bad = 1 }
      name = $6; if (top != "" && index(name, top) == 1) name = "TOP" substr(name, length(top) + 1)
      print $1, $2, name }
    END { exit bad }' >"$tmp/$list" || fail "$package: times are not the commit's ($stamp)"
  diff -u "$expected/$list" "$tmp/$list" || fail "$package: entries differ from packaging/expected/$list"
}
say "package entries: names, modes, owners, order, times"
dpkg-deb --fsys-tarfile "$dist/$deb" | tar -tv --numeric-owner --full-time |
  checkEntries deb.list "$deb" ""
tar -tzv --numeric-owner --full-time -f "$dist/$tgz" |
  checkEntries tar.list "$tgz" "${tgz%.tar.gz}"
zipinfo -T "$dist/$zip" | awk -v stamp="$zipStamp" -v top="${zip%.zip}" -v package="$zip" '
  NF == 8 && $3 == "unx" {
    if ($7 != stamp) { print package ": " $8 " has the time " $7 > "/dev/stderr"; bad = 1 }
    name = $8; if (index(name, top) == 1) name = "TOP" substr(name, length(top) + 1)
    print $1, name }
  END { exit bad }' >"$tmp/zip.list" || fail "$zip: times are not the commit's ($zipStamp)"
diff -u "$expected/zip.list" "$tmp/zip.list" || fail "$zip: entries differ from packaging/expected/zip.list"

say ".deb control fields"
for field in "Package: photocheck" "Version: $version" "Architecture: amd64" "Section: utils"; do
  dpkg-deb -f "$dist/$deb" "${field%%:*}" | grep -qxF "${field#*: }" || fail "$deb: no $field"
done
# The executable is linked statically, so the package needs no other one.
[ -z "$(dpkg-deb -f "$dist/$deb" Depends)" ] || fail "$deb: Depends is not empty"

say "lintian on the .deb: no error, no warning"
# The one override, statically-linked-binary, is in the package itself
# (packaging/debian/lintian-overrides) and says why.
lintian --fail-on error,warning "$dist/$deb" >"$tmp/lintian.txt" 2>&1 ||
  { cat "$tmp/lintian.txt"; fail "lintian found errors or warnings in $deb"; }
sed 's/^/  lintian: /' "$tmp/lintian.txt"

# runExample LABEL TOOL EXAMPLES: runs the tool on a writable copy of an
# installed examples folder, as the README says, and compares its console
# bytes, exit status and report with the expected ones.
runExample() {
  local label=$1 tool=$2 examples=$3 work=$tmp/$1 status=0
  cp -r "$examples" "$work"
  (cd "$work" && "$tool" photocheck.settings >"$work.out") || status=$?
  [ "$status" -eq 1 ] || fail "$label: exit status $status, expected 1"
  cmp "$expected/example-linux.out" "$work.out" || fail "$label: console bytes differ"
  cmp "$exampleReport" "$work/output/error.json" || fail "$label: error.json differs"
}

say ".deb unpacked with dpkg -x: sample run"
dpkg -x "$dist/$deb" "$tmp/deb-root"
if readelf -d "$tmp/deb-root/usr/bin/photocheck" | grep -q '(NEEDED)'; then
  fail "$deb: usr/bin/photocheck loads shared libraries"
fi
runExample deb-x "$tmp/deb-root/usr/bin/photocheck" "$tmp/deb-root/usr/share/doc/photocheck/examples"
[ "$("$tmp/deb-root/usr/bin/photocheck" --version | head -n 1)" = "photocheck $version" ] ||
  fail "$deb: photocheck --version does not say photocheck $version"

say ".tar.gz unpacked: sample run"
mkdir "$tmp/tar-root"
tar -xzf "$dist/$tgz" -C "$tmp/tar-root"
runExample tgz "$tmp/tar-root/${tgz%.tar.gz}/bin/photocheck" \
  "$tmp/tar-root/${tgz%.tar.gz}/share/doc/photocheck/examples"

if [ "${CI:-}" = true ] && [ "$(id -u)" -eq 0 ]; then
  if dpkg-query -W photocheck >/dev/null 2>&1; then
    say "dpkg -i skipped: a photocheck package is installed on this machine"
  else
    say ".deb installed with dpkg -i: sample run"
    debInstalled=1
    logged "$tmp/dpkg-install.log" dpkg -i "$dist/$deb"
    [ "$(command -v photocheck)" = /usr/bin/photocheck ] || fail "dpkg -i put no photocheck on the PATH"
    runExample dpkg-i photocheck /usr/share/doc/photocheck/examples
    logged "$tmp/dpkg-purge.log" dpkg --purge photocheck
    debInstalled=0
  fi
fi

say "zip: files for Windows"
mkdir "$tmp/zip-root"
unzip -q "$dist/$zip" -d "$tmp/zip-root"
windows=$tmp/zip-root/${zip%.zip}
for text in examples/photocheck.settings run-example.cmd; do
  if grep -qv $'\r$' "$windows/$text"; then fail "$zip: $text has a line without CR LF"; fi
done
grep -qxF $'e_image_folder = examples\\images\r' "$windows/examples/photocheck.settings" ||
  fail "$zip: the settings file's image folder is not examples\\images"

say "zip: version resource and imports of photocheck.exe"
exe=$windows/photocheck.exe
# One "name=value" line each: the fixed file and product versions, then every
# string of the string tables, as Explorer's Properties and PowerShell's
# VersionInfo show them. Debian's python3 is the one python3-pefile serves.
/usr/bin/python3 - "$exe" >"$tmp/version.txt" <<'EOF' || fail "photocheck.exe has no version resource"
import sys
import pefile

pe = pefile.PE(sys.argv[1], fast_load=True)
pe.parse_data_directories([pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
if not getattr(pe, "VS_FIXEDFILEINFO", None) or pe.VS_FIXEDFILEINFO[0].Signature != 0xFEEF04BD:
    sys.exit(f"{sys.argv[1]}: no version resource")
fixed = pe.VS_FIXEDFILEINFO[0]
for name, high, low in (("FixedFileVersion", fixed.FileVersionMS, fixed.FileVersionLS),
                        ("FixedProductVersion", fixed.ProductVersionMS, fixed.ProductVersionLS)):
    print(f"{name}={high >> 16}.{high & 0xFFFF}.{low >> 16}.{low & 0xFFFF}")
for info in getattr(pe, "FileInfo", [[]])[0]:
    for table in getattr(info, "StringTable", []):
        for key, value in table.entries.items():
            print(f"{key.decode()}={value.decode()}")
EOF
copyright=$(grep -m1 '^Copyright' LICENSE)
for line in "FixedFileVersion=$version.0" "FixedProductVersion=$version.0" \
  "FileVersion=$version" "ProductVersion=$version" "ProductName=photocheck" \
  "OriginalFilename=photocheck.exe" "LegalCopyright=$copyright, MIT License"; do
  grep -qxF "$line" "$tmp/version.txt" || { cat "$tmp/version.txt"; fail "version resource lacks $line"; }
done
grep -q '^FileDescription=photocheck: .' "$tmp/version.txt" || fail "version resource lacks FileDescription"
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr '\n' ' ')
[ "$imports" = "KERNEL32.dll msvcrt.dll " ] || fail "photocheck.exe imports $imports"

say "zip: run-example.cmd under Wine"
(
  # Wine's settings stay in this subshell.
  source scripts/wine-env.sh
  trap wine_stop EXIT
  wine_start
  status=0
  cd "$windows"
  "$wine" cmd /c run-example.cmd </dev/null >"$tmp/windows.out" || status=$?
  [ "$status" -eq 1 ] || fail "run-example.cmd: exit status $status, expected 1"
)
cmp "$expected/example-windows.out" "$tmp/windows.out" || fail "run-example.cmd: console bytes differ"
cmp "$exampleReport" "$windows/examples/output/error.json" ||
  fail "run-example.cmd: error.json differs"

say "reproducibility: a second build from scratch in build/release-again"
makePackages "$root/build/release-again" "$root/build/release-again/dist"
differ=0
for file in "$zip" "$deb" "$tgz" SHA256SUMS; do
  if cmp -s "$dist/$file" "$root/build/release-again/dist/$file"; then
    echo "identical: $file"
  else
    echo "DIFFERS: $file"
    differ=1
  fi
done
[ "$differ" -eq 0 ] || fail "two builds of one commit gave different packages"
rm -rf "$root/build/release-again"

say "release check passed"
