# Sourced by the scripts that run Windows programs. Expects QL_ARCH and QL_BUILD.
# Wine must never stop a headless run with a Mono or Gecko installer, and the
# ANSI code page must be 936 as on a Chinese Windows.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export TZ="${TZ:-Asia/Shanghai}"
export WINEPREFIX="$QL_BUILD/wineprefix"
if [ "$QL_ARCH" = x86_64 ]; then
  export WINEARCH=win64
  QL_WINE=/usr/lib/wine/wine64
else
  export WINEARCH=win32
  QL_WINE=/usr/lib/wine/wine
fi

# LC_ALL goes to Wine alone: the host locale need not exist, and bash would
# complain about it if the shell itself took it.
ql_wine() { env LC_ALL=zh_CN.UTF-8 "$QL_WINE" "$@"; }

# Creates the prefix once. Its windows are left unmanaged: with no window
# manager on the display (Xvfb), Wine would otherwise wait about 2 s for one at
# every window that is hidden or destroyed, and it draws the title bars itself.
ql_prepare_prefix() {
  [ -f "$WINEPREFIX/.ql-ready" ] && return 0
  ql_wine wineboot -i >/dev/null 2>&1
  ql_wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  touch "$WINEPREFIX/.ql-ready"
}
