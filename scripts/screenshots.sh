#!/usr/bin/env bash
# Screenshots of every window and dialog of the programs, for looking at them:
# written to build/<arch>/screenshots/*.png (not kept in the repository).
# Runs on Xvfb in the build's own Wine prefix; the 32-bit build where this
# machine runs 32-bit code, else the 64-bit one (QV_FORCE_WIN64=1 chooses it).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bash "$here/install-deps.sh"
source "$here/env.sh"
qv_probe
if [ "$QV_CAN_RUN32" = 1 ]; then qv_use i686; else qv_use x86_64; fi
qv_build
out=$QV_BUILD/screenshots
mkdir -p "$out"
unset DISPLAY
qv_display xvfb
trap 'qv_wine_down; qv_display_down' EXIT
[ -d "$WINEPREFIX/drive_c" ] || qv_wine_up
wineserver -p </dev/null >/dev/null 2>&1 || true
qv_wine explorer /desktop=Quorvane,1024x768 </dev/null >/dev/null 2>&1 &
sleep 2
bin=$QV_BUILD/bin
client() { qv_wine "$bin/qvtbclient.exe" "$@" </dev/null >/dev/null 2>&1 || true; }
shot() { sleep "${2:-2}"; import -window root -crop 1024x768+0+0 "$out/$1.png"; echo "$out/$1.png"; }

qv_wine reg delete 'HKCU\Software\AppDataLow\Software\Quorvane\Toolbar' /f </dev/null >/dev/null 2>&1 || true
qv_wine "$bin/qvtoolbar.exe" /s </dev/null >/dev/null 2>&1 &
sleep 4
press() { qv_wine "$bin/qvpress.exe" "$@" </dev/null >/dev/null 2>&1 || true; }
for page in 0 1 2; do
  client post WMU_OPENSETTINGS "$page"
  shot "settings-page$page"
done
press "Quorvane Webdeck" page 1210   # Delete Options...
shot delete-options
press "File Delete Options" 2
client post WM_CLOSE
sleep 1
