# Wine for the Windows build, sourced by scripts/windows.sh and
# scripts/release.sh: a private prefix in build/windows/wineprefix (about
# 700 MB, made once and shared by both) with one server of its own.
#
# After sourcing: $wine runs a Windows program; wine_start makes the prefix
# when it is missing, then starts the server and Wine's services; wine_stop
# ends the server (call it when the script ends).
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64
export WINEPREFIX=$PWD/build/windows/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY LC_ALL LC_CTYPE LC_COLLATE LC_MESSAGES LC_NUMERIC LC_TIME LC_MONETARY
export LANG=C.UTF-8

wine_stop() { "$wineserver" -k 2>/dev/null || true; "$wineserver" -w 2>/dev/null || true; }

wine_start() {
  if [ ! -e "$WINEPREFIX/system.reg" ]; then
    echo "creating the Wine prefix $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    mkdir -p "${WINEPREFIX%/*}"
    {
      "$wine" wineboot --init
      # The programs see LANG=C on the Windows side (the mingw C++ library
      # accepts no other locale name); Wine still takes its code page from
      # the Unix LANG.
      "$wine" reg add 'HKCU\Environment' /v LANG /t REG_SZ /d C /f
      "$wineserver" -w
    } >"${WINEPREFIX%/*}/wineboot.log" 2>&1 </dev/null
  fi
  # One server for the whole run, and Wine's services started before the
  # programs: a service started by the first program would inherit its output
  # pipes and keep whoever reads them waiting.
  # (A server left running for this prefix is used as it is.)
  "$wineserver" -p 2>/dev/null || true
  "$wine" wineboot >/dev/null 2>&1 </dev/null
}
