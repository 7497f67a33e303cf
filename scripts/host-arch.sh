#!/usr/bin/env bash
# Prints the Windows architecture whose programs this host can run under Wine:
# i686 where the kernel executes 32-bit code, else x86_64 (some virtual machines
# refuse every i386 ELF with "Exec format error", Wine's 32-bit loader included).
# With --second: the other architecture that the host can also run, so that
# both builds can be tested; nothing when there is none.
if [ "${1:-}" = --second ]; then
  if /usr/lib/wine/wine --version >/dev/null 2>&1 && /usr/lib/wine/wine64 --version >/dev/null 2>&1; then
    echo x86_64
  fi
  exit 0
fi
if /usr/lib/wine/wine --version >/dev/null 2>&1; then echo i686; else echo x86_64; fi
