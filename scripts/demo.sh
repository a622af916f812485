#!/usr/bin/env bash
# Set-up, build, then the main job: the tray program under Wine with its
# settings window open, and a screenshot of the screen in build/<arch>/screenshot.png.
# Runs the 32-bit product where this machine can run 32-bit code, else the
# 64-bit test build (QV_FORCE_WIN64=1 chooses the latter anywhere), and says which.
# Runs on the user's X display when there is one (the program stays running
# there), else on Xvfb (the program is closed after the screenshot).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bash "$here/install-deps.sh"
source "$here/env.sh"
qv_probe
if [ "$QV_CAN_RUN32" = 1 ]; then
  qv_use i686
  echo "Running the 32-bit product build: $QV_WHY."
else
  qv_use x86_64
  echo "Running the 64-bit test build: $QV_WHY."
fi
qv_build
on_xvfb=0
[ -z "${DISPLAY:-}" ] && on_xvfb=1
qv_display
[ "$on_xvfb" = 1 ] && trap 'qv_wine_down; qv_display_down' EXIT
[ -d "$WINEPREFIX/drive_c" ] || qv_wine_up
wineserver -p </dev/null >/dev/null 2>&1 || true
# A fresh start: the settings window opens unless the user chose a silent start.
qv_wine reg delete 'HKCU\Software\AppDataLow\Software\Quorvane\Toolbar' /v GeneralSilent /f </dev/null >/dev/null 2>&1 || true
qv_wine "$QV_BUILD/bin/qvtoolbar.exe" </dev/null >/dev/null 2>&1 &
sleep 8
shot=$QV_BUILD/screenshot.png
import -window root "$shot"
echo "Screenshot: $shot"
if [ "$on_xvfb" = 1 ]; then
  qv_wine "$QV_BUILD/bin/qvtbclient.exe" post WM_CLOSE </dev/null >/dev/null 2>&1 || true
  sleep 1
else
  echo "qvtoolbar.exe keeps running in the tray; its menu has Exit."
fi
