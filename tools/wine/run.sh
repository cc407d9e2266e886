#!/usr/bin/env bash
# Runs one Windows program under Wine, in the Windows test stage's own prefix (CTest's
# emulator for the Windows build).
set -euo pipefail
: "${WINEPREFIX:?the Windows test stage sets WINEPREFIX}"
# Wine passes Qt's variables on to a Windows program only under a WINE prefix.
while IFS= read -r name; do
  case "$name" in QT_*) export "WINE$name=${!name}" ;; esac
done < <(compgen -e)
# QtTest writes to the debugger channel on Windows unless told otherwise.
export WINEQT_FORCE_STDERR_LOGGING=1 WINEDEBUG="${WINEDEBUG:--all}"
exec wine "$@"
