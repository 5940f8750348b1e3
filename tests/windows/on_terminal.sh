#!/bin/sh
# Runs the command line $1 on a pseudo-terminal (script), as a person's
# console would be. Where no pseudo-terminal can be opened (a chroot or
# container without /dev/pts) it says so and exits 77, which CTest counts as
# skipped.
if ! script -qec true /dev/null >/dev/null 2>&1; then
  echo "no pseudo-terminal can be opened here (no /dev/pts?): the console test was not run"
  exit 77
fi
exec script -qec "$1" /dev/null
