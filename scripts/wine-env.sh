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
