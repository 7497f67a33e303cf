# Sourced: starts a private Xvfb display unless one is already set, and stops it
# when the sourcing shell exits.
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 120); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
    QL_XVFB_PID=$!
    for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    export DISPLAY=":$n"
    trap 'kill $QL_XVFB_PID 2>/dev/null || true' EXIT
    break
  done
fi
