#!/usr/bin/env bash
# Builds the libraries the Windows executable links that Debian ships no
# mingw-w64 build of, as static libraries, into build/windows-deps (headers in
# include/, libraries in lib/). cmake/mingw-w64-x86_64.cmake finds them there,
# so photocheck.exe stays one file that imports system DLLs only.
#
#   scripts/windows-deps.sh     build what is missing (a second run costs nothing)
#
# expat (the XML parser the XMP decoder uses): Debian's own source package of
# the system's release, fetched with apt-get source from a deb-src list this
# script writes (the system's apt lists and settings are not touched), pinned
# by its Debian version and by the sha256 of the upstream tarball that comes
# with it, which is checked before anything is unpacked. Debian's package
# carries the release's security fixes as patches, which dpkg-source applies.
# Built by mingw-w64 with expat's own CMake files: the library only, no tests,
# tools, examples or documents, and without DTD support (EXPAT_DTD=OFF): the
# decoder refuses any document type declaration, so parameter entities and
# external DTDs are code it never needs. (Debian's own build defines XML_DTD
# as 1, which its patches test with "#if XML_DTD == 1"; expat's CMake files
# define it empty, so a CMake build with DTD support does not compile them.)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

# The pinned package: upstream expat 2.5.0, by the sha256 of its tarball,
# as Debian 12 (bookworm) ships it, whatever release this machine runs (the
# source is only built here, so Debian 13 takes the same one). The Debian
# revision named here is preferred; when a point release has replaced it in
# the archive, the newest bookworm revision of the same upstream version is
# taken instead (the same tarball, checked by the same sum, with more of the
# release's fixes as patches) and the script says so. Only another upstream
# version, which needs a new sum, stops it.
expatSuite=bookworm
expatVersion=2.5.0-1+deb12u2
expatRevisions='2.5.0-1+deb12u'
expatOrig=expat_2.5.0.orig.tar.gz
expatOrigSha256=ab00ee05c7067fd10a35c5d2a4922ebba746ddd50ff83b79c828da17bbdf1757

prefix=$root/build/windows-deps
work=$root/build/windows-deps-work
stamp=$prefix/expat.stamp
started=$SECONDS
say() { printf '== windows-deps: %s (%ds)\n' "$*" $((SECONDS - started)); }
fail() { printf 'windows-deps: FAILED: %s\n' "$*" >&2; exit 1; }

if [ -e "$stamp" ] && grep -qF -- " $expatOrigSha256" "$stamp" &&
  [ -e "$prefix/lib/libexpat.a" ] && [ -e "$prefix/include/expat.h" ]; then
  exit 0
fi

scripts/install-deps.sh dpkg-dev xz-utils patch g++-mingw-w64-x86-64-posix

# --- the source package -------------------------------------------------------
rm -rf "$work"
mkdir -p "$work/apt/lists/partial" "$work/apt/cache/archives/partial" "$work/source"
keyring=/usr/share/keyrings/debian-archive-keyring.gpg
[ -e "$keyring" ] || fail "$keyring is missing (Debian package debian-archive-keyring)"
{
  for suite in "$expatSuite" "$expatSuite-updates"; do
    echo "deb-src [signed-by=$keyring] http://deb.debian.org/debian $suite main"
  done
  echo "deb-src [signed-by=$keyring] http://deb.debian.org/debian-security $expatSuite-security main"
} >"$work/apt/sources.list"
apt=(-o "Dir::Etc::SourceList=$work/apt/sources.list" -o "Dir::Etc::SourceParts=$work/apt/none"
  -o "Dir::State::Lists=$work/apt/lists" -o "Dir::Cache=$work/apt/cache" -o Debug::NoLocking=1)
# As root apt would hand the download to its _apt user, who cannot write here.
[ "$(id -u)" -ne 0 ] || apt+=(-o APT::Sandbox::User=root)
say "reading the source lists of $expatSuite"
apt-get "${apt[@]}" update -qq
offered=$(apt-cache "${apt[@]}" showsrc expat | sed -n 's/^Version: //p')
# The pinned revision first, then the others of the same upstream version,
# newest first: a pocket may list a revision its mirror cannot serve.
candidates=$( (grep -qFx -- "$expatVersion" <<<"$offered" && echo "$expatVersion"
  grep -F -- "$expatRevisions" <<<"$offered" | grep -vFx -- "$expatVersion" | sort -rV) || true)
[ -n "$candidates" ] ||
  fail "the $expatSuite archive has no expat ${expatRevisions}N (it offers: $(echo $offered)); update the pin in $0"
fetched=""
for candidate in $candidates; do
  say "fetching expat $candidate"
  # apt checks every file against the signed source lists.
  if (cd "$work/source" && apt-get "${apt[@]}" source --download-only -qq "expat=$candidate"); then
    fetched=$candidate
    break
  fi
  rm -f "$work/source/"*
done
[ -n "$fetched" ] || fail "no expat source package could be fetched (tried: $(echo $candidates))"
[ "$fetched" = "$expatVersion" ] ||
  say "expat $expatVersion is not to be had; took $fetched, the same upstream tarball"
expatVersion=$fetched
echo "$expatOrigSha256  $work/source/$expatOrig" | sha256sum --check --quiet ||
  fail "$expatOrig does not have the pinned sha256"
dsc=$work/source/expat_${expatVersion#*:}.dsc
(cd "$work/source" && dpkg-source --no-check -x "$dsc" expat >/dev/null)

# --- the build ----------------------------------------------------------------
# Debian's tree holds upstream's repository: the library's CMake files are in
# its expat/ folder.
sources=$work/source/expat
[ -e "$sources/expat/CMakeLists.txt" ] && sources=$sources/expat
say "building expat with mingw-w64"
cmake -S "$sources" -B "$work/build" -G Ninja \
  --toolchain "$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
  "-DCMAKE_C_FLAGS=-ffile-prefix-map=$work/=" -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DEXPAT_SHARED_LIBS=OFF -DEXPAT_BUILD_TESTS=OFF -DEXPAT_BUILD_TOOLS=OFF \
  -DEXPAT_BUILD_EXAMPLES=OFF -DEXPAT_BUILD_DOCS=OFF -DEXPAT_BUILD_FUZZERS=OFF \
  -DEXPAT_BUILD_PKGCONFIG=OFF -DEXPAT_DTD=OFF -DEXPAT_NS=ON >"$work/configure.log" 2>&1 ||
  { cat "$work/configure.log" >&2; fail "configuring expat"; }
cmake --build "$work/build" >"$work/build.log" 2>&1 ||
  { cat "$work/build.log" >&2; fail "building expat"; }
rm -rf "$prefix"
cmake --install "$work/build" >"$work/install.log" 2>&1 ||
  { cat "$work/install.log" >&2; fail "installing expat into $prefix"; }
[ -e "$prefix/lib/libexpat.a" ] || fail "the build made no $prefix/lib/libexpat.a"
echo "$expatVersion $expatOrigSha256" >"$stamp"
rm -rf "$work"
say "expat $expatVersion in $prefix"
