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
# QV_SHOT_DPI=144 takes the pictures at that system scaling (150 %), into screenshots-144dpi.
dpi=${QV_SHOT_DPI:-}
out=$QV_BUILD/screenshots${dpi:+-${dpi}dpi}
rm -rf "$out"
mkdir -p "$out"
unset DISPLAY
qv_display xvfb
scaling() {  # the user's scaling, read by every program started afterwards
  if [ -n "$dpi" ]; then
    qv_wine reg "$1" 'HKCU\Control Panel\Desktop' /v LogPixels "${@:2}" /f </dev/null >/dev/null 2>&1 || true
  fi
}
trap 'scaling delete; qv_wine_down; qv_display_down' EXIT
# A Wine server left from another display would put the windows there: start afresh.
qv_wine_down
qv_wine_up
scaling add /t REG_DWORD /d "$dpi"
bin=$QV_BUILD/bin
client() { qv_wine "$bin/qvtbclient.exe" "$@" </dev/null >/dev/null 2>&1 || true; }
shot() { sleep "${2:-2}"; import -window root -crop 1024x768+0+0 "$out/$1.png"; echo "$out/$1.png"; }

qv_wine reg delete 'HKCU\Software\AppDataLow\Software\Quorvane\Toolbar' /f </dev/null >/dev/null 2>&1 || true
# What an earlier run installed: setup never replaces files it has no record of.
rm -rf "$WINEPREFIX"/drive_c/qvshots*
qv_wine reg delete 'HKLM\Software\Quorvane\Quorvanes' /f </dev/null >/dev/null 2>&1 || true
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
press "Quorvane Webdeck" page 1212   # More Items...
shot more-items
press "More Items" 2
client post WM_CLOSE
sleep 1

# Setup: the options page (English, then German from the language file), the
# question on Cancel, the progress page at its end and during a copy that waits
# for a file in use; then the uninstaller's question.
setup_folder=$QV_BUILD/setupfolder
options="Quorvane Webdeck Setup"
# Setup refusing a folder that holds another program's uninstall.exe (before any
# installation opens the Start-menu group's window over it).
taken="$WINEPREFIX/drive_c/qvshots-taken"
mkdir -p "$taken" && echo theirs > "$taken/uninstall.exe"
qv_wine "$setup_folder/setup.exe" /nostart /path: 'C:\qvshots-taken' </dev/null >/dev/null 2>&1 &
press "$options" wait 30
press "$options" 1                        # Next
shot setup-taken-folder
qv_wine taskkill /f /im setup.exe </dev/null >/dev/null 2>&1 || true
sleep 2
rm -rf "$taken"
qv_wine "$setup_folder/setup.exe" /path: 'C:\qvshots' </dev/null >/dev/null 2>&1 &
press "$options" wait 30
shot setup-options
press "$options" 2                        # Cancel
shot setup-cancel-question
press "Quorvane Webdeck" 7               # No: back to the options
press "$options" check 1003
press "$options" 1                        # Next
press "Quorvane Setup" wait 30
shot setup-progress-end 8
press "Quorvane Setup" 1                  # Close
sleep 2
qv_wine "$bin/qvtbclient.exe" post WM_CLOSE </dev/null >/dev/null 2>&1 || true
# An update while a file of the install folder is held open: the progress page
# shows the copy while setup retries, then asks.
qv_wine "$setup_folder/setup.exe" /path: 'C:\qvshots' </dev/null >/dev/null 2>&1 &
press "$options" wait 30
qv_wine "$bin/qvpress.exe" hold 'C:\qvshots\Common_Lang_2.txt' 12 </dev/null >/dev/null 2>&1 &
sleep 1
press "$options" 1                        # Next
press "Quorvane Setup" wait 30
shot setup-progress-copying 3
shot setup-locked-question 5
press "Quorvane Webdeck" 2                # Cancel: the old file stays
# No tool ran before this run, so its last page waits for Close.
press "Quorvane Setup" wait 30
press "Quorvane Setup" 1
sleep 2
qv_wine "$setup_folder/setup.exe" '/language:2' /path: 'C:\qvshots' </dev/null >/dev/null 2>&1 &
press "Setup von Quorvane Webdeck" wait 30   # the caption in German too
shot setup-options-german
# Ended without its question: the Start-menu group's window is titled "Quorvane
# Webdeck" as well, and would take the answer.
qv_wine taskkill /f /im setup.exe </dev/null >/dev/null 2>&1 || true
sleep 2
# English again for what follows (the choice is kept for the user and the machine).
qv_wine reg delete 'HKCU\Software\AppDataLow\Software\Quorvane\Toolbar' /v GeneralLanguage /f </dev/null >/dev/null 2>&1 || true
qv_wine reg delete 'HKLM\Software\Quorvane\Quorvanes' /v GeneralLanguage /f </dev/null >/dev/null 2>&1 || true
# A file held open during the removal is scheduled, and the last message says so.
qv_wine 'C:\qvshots\uninstall.exe' </dev/null >/dev/null 2>&1 &
press "Quorvane Havrel" wait 30
shot uninstall-question
qv_wine "$bin/qvpress.exe" hold 'C:\qvshots\Common_Lang_2.txt' 30 </dev/null >/dev/null 2>&1 &
sleep 1
press "Quorvane Havrel" 1                 # OK
sleep 3
press "Quorvane Havrel" wait 30
shot uninstall-scheduled 1
press "Quorvane Havrel" 1
sleep 2

# The folder guard: setup refusing a folder of Windows or of a user as install
# folder, a wash whose TEMP is the profile (left alone, and the summary says so),
# and the uninstaller refusing such an install folder.
qv_wine "$setup_folder/setup.exe" /path: 'C:\users' </dev/null >/dev/null 2>&1 &
press "$options" wait 30
press "$options" 1                        # Next
shot setup-refused-folder
press "Quorvane Webdeck" 1                # OK: back to the options
press "$options" 2                        # Cancel
press "Quorvane Webdeck" 6                # Yes
sleep 2
environment='HKCU\Environment'
toolbar='HKCU\Software\AppDataLow\Software\Quorvane\Toolbar'
for name in TEMP TMP; do
  qv_wine reg add "$environment" /v "$name" /t REG_EXPAND_SZ /d '%USERPROFILE%' /f </dev/null >/dev/null 2>&1 || true
done
qv_wine reg add "$toolbar" /v ClearTemp /t REG_DWORD /d 1 /f </dev/null >/dev/null 2>&1 || true
qv_wine "$bin/qvtoolbar.exe" /s </dev/null >/dev/null 2>&1 &
sleep 4
for name in TEMP TMP; do
  qv_wine reg add "$environment" /v "$name" /t REG_EXPAND_SZ /d '%USERPROFILE%\Temp' /f </dev/null >/dev/null 2>&1 || true
done
client post WMU_OPENSETTINGS 2
sleep 2
press "Quorvane Webdeck" page 1175        # Clear All Selected Items
sleep 2
press "Quorvane Webdeck" 1                # OK to the question
shot wash-summary-left-alone 6
press "Quorvane Webdeck" 1
client post WM_CLOSE
sleep 1
# The Wash preview of TEMP and Start-Run, then the wash and its summary with the counts.
for temp in "$WINEPREFIX"/drive_c/users/*/Temp; do
  mkdir -p "$temp/qvshots/sub"
  for i in 1 2 3 4 5; do head -c $((i * 3000)) /dev/zero > "$temp/qvshots/file$i.tmp"; done
  head -c 70000 /dev/zero > "$temp/qvshots/sub/big.tmp"
  # A name the code page cannot spell (washed as it is) and a link that leads
  # nowhere (which the walk cannot reach: named as left).
  mkdir -p "$temp/qvshots/Тест"
  head -c 1000 /dev/zero > "$temp/qvshots/Тест/α.tmp"
  ln -sfn /nonexistent-qvshots "$temp/qvshots/dangling"
done
qv_wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\RunMRU' /v a /d 'notepad\1' /f </dev/null >/dev/null 2>&1 || true
qv_wine reg add "$toolbar" /v ClearRun /t REG_DWORD /d 1 /f </dev/null >/dev/null 2>&1 || true
qv_wine "$bin/qvtoolbar.exe" /s </dev/null >/dev/null 2>&1 &
sleep 4
client post WMU_OPENSETTINGS 2
sleep 2
press "Quorvane Webdeck" page 1211        # Preview...
press "Wash Preview" wait 30
shot wash-preview
press "Wash Preview" 2                    # Close
sleep 1
press "Quorvane Webdeck" page 1175        # Clear All Selected Items
sleep 2
press "Quorvane Webdeck" 1                # OK to the question
shot wash-summary 6
press "Quorvane Webdeck" 1
client post WM_CLOSE
sleep 1
for temp in "$WINEPREFIX"/drive_c/users/*/Temp; do rm -rf "$temp/qvshots"; done
qv_wine reg add 'HKLM\Software\Quorvane\Quorvanes' /v InstallPath /d 'C:\users' /f </dev/null >/dev/null 2>&1 || true
qv_wine "$setup_folder/uninstall.exe" /internally </dev/null >/dev/null 2>&1 &
press "Quorvane Havrel" wait 30
shot uninstall-refused-folder 1
press "Quorvane Havrel" 1
sleep 2
qv_wine reg delete 'HKLM\Software\Quorvane\Quorvanes' /f </dev/null >/dev/null 2>&1 || true

# Setup's last page when a file could not be installed (its target path is too long).
pkg="$WINEPREFIX/drive_c/qvshotpkg"
rm -rf "$pkg" && mkdir -p "$pkg" && cp "$setup_folder"/* "$pkg"/
long=$(printf 'n%.0s' $(seq 1 240))
echo long > "$pkg/$long.txt"
printf '%s\r\n' "$long.txt" >> "$pkg/setup.lst"
qv_wine 'C:\qvshotpkg\setup.exe' /nostart /path: 'C:\qvshots-with-a-longer-name' </dev/null >/dev/null 2>&1 &
press "$options" wait 30
press "$options" 1                        # Next
press "Quorvane Setup" wait 30
shot setup-files-not-installed 8
press "Quorvane Setup" 1                  # Close
sleep 2
rm -rf "$pkg"

# The uninstaller naming a file the user changed since the installation.
qv_wine "$setup_folder/setup.exe" /silent /nostart /noshort /path: 'C:\qvshots-kept' </dev/null >/dev/null 2>&1 || true
echo "my own words" > "$WINEPREFIX/drive_c/qvshots-kept/Common_Lang_5.txt"
qv_wine 'C:\qvshots-kept\uninstall.exe' </dev/null >/dev/null 2>&1 &
press "Quorvane Havrel" wait 30
press "Quorvane Havrel" 1                 # OK
sleep 3
press "Quorvane Havrel" wait 30
shot uninstall-kept-changed 1
press "Quorvane Havrel" 1
sleep 2
rm -rf "$WINEPREFIX/drive_c/qvshots-kept"

# Three languages: the options page, the settings window and a wash's summary in
# French (Western code page), Japanese and Russian (each under its own code page,
# which Wine takes from the locale's name).
# The Start-menu folder windows that the installs above opened would hide the windows.
pkill -f 'explorer.exe.*Quorvane Webdeck' || true
sleep 1
for entry in "1 fr C.UTF-8" "3 ja ja_JP.UTF-8" "8 ru ru_RU.UTF-8"; do
  set -- $entry
  language=$1 code=$2 locale=$3
  qv_wine reg delete "$toolbar" /v GeneralLanguage /f </dev/null >/dev/null 2>&1 || true
  # (bash itself cannot take a locale the machine lacks; Wine only reads its name)
  { LANG=$locale LC_ALL=$locale qv_wine "$setup_folder/setup.exe" "/language:$language" /path: 'C:\qvshots' \
    </dev/null >/dev/null 2>&1 & } 2>/dev/null
  press "$options" wait 30
  shot "lang-$code-setup-options"
  press "$options" 2                      # Cancel
  press "Quorvane Webdeck" 6              # Yes
  sleep 2
  { LANG=$locale LC_ALL=$locale qv_wine "$bin/qvtoolbar.exe" /s </dev/null >/dev/null 2>&1 & } 2>/dev/null
  sleep 4
  client post WMU_OPENSETTINGS 0
  shot "lang-$code-settings-toolbar"
  client post WMU_OPENSETTINGS 1
  shot "lang-$code-settings-bosskey"
  client post WMU_OPENSETTINGS 2
  sleep 2
  press "Quorvane Webdeck" page 1175      # Clear All Selected Items
  sleep 2
  press "Quorvane Webdeck" 1              # OK to the question
  shot "lang-$code-wash-summary" 6
  press "Quorvane Webdeck" 1
  client post WM_CLOSE
  sleep 2
done
qv_wine reg delete "$toolbar" /v GeneralLanguage /f </dev/null >/dev/null 2>&1 || true

# The More Items dialog in English, German and Japanese, with the profiles of three
# browsers in the prefix so that their rules are found (folders only: nothing is washed).
users=$(ls -d "$WINEPREFIX"/drive_c/users/*/AppData | grep -v /Public/ | head -1)
browser_folders=("$users/Local/Google/Chrome/User Data/Default" "$users/Local/Google/Chrome/User Data/Profile 1"
                 "$users/Local/Microsoft/Edge/User Data/Default" "$users/Roaming/Mozilla/Firefox/Profiles/a1b2.default-release")
for folder in "${browser_folders[@]}"; do mkdir -p "$folder"; done
for entry in "0 en C.UTF-8 More Items" "2 de C.UTF-8 Weitere Elemente" "3 ja ja_JP.UTF-8 その他の項目"; do
  set -- $entry
  language=$1 code=$2 locale=$3
  shift 3
  title="$*"
  qv_wine reg add "$toolbar" /v GeneralLanguage /t REG_DWORD /d "$language" /f </dev/null >/dev/null 2>&1 || true
  { LANG=$locale LC_ALL=$locale qv_wine "$bin/qvtoolbar.exe" /s </dev/null >/dev/null 2>&1 & } 2>/dev/null
  sleep 4
  client post WMU_OPENSETTINGS 2
  sleep 2
  { LANG=$locale LC_ALL=$locale press "Quorvane Webdeck" page 1212; } 2>/dev/null   # More Items...
  shot "lang-$code-more-items"
  { LANG=$locale LC_ALL=$locale press "$title" 2; } 2>/dev/null
  client post WM_CLOSE
  sleep 2
done
rm -rf "$users/Local/Google" "$users/Local/Microsoft/Edge" "$users/Roaming/Mozilla"
