# Sourced by the other scripts: the two builds, their Wine prefixes and the display.
#
# Two builds of the same sources, each in its own folder with its own prefix:
#   build/i686    the product (PE32), run by Wine's 32-bit loader in a win32 prefix
#   build/x86_64  the 64-bit test variant (PE32+), run by wine64 in a win64 prefix
# qv_probe finds out whether this machine can run 32-bit code at all;
# QV_FORCE_WIN64=1 makes it answer no, so the 64-bit-only path can be tried anywhere.
QV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
QV_BUILD_ROOT=${QV_BUILD_ROOT:-$QV_ROOT/build}
export WINEDEBUG=-all
# No Mono or Gecko installer dialogs in a throwaway prefix, and no menu builder:
# it would copy every Start-menu shortcut a program makes into the Linux home
# folder's desktop menus and icons.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# Sets QV_CAN_RUN32 (1 or 0) and QV_WHY (one line saying why).
qv_probe() {
  if [ -n "${QV_FORCE_WIN64:-}" ] && [ "$QV_FORCE_WIN64" != 0 ]; then
    QV_CAN_RUN32=0
    QV_WHY="QV_FORCE_WIN64 is set"
    return
  fi
  local out rc
  # (Callers may run under "set -e": a failing probe must not end them.)
  out=$(timeout 30 /usr/lib/wine/wine --version 2>&1 </dev/null) && rc=0 || rc=$?
  if [ $rc -eq 0 ]; then
    QV_CAN_RUN32=1
    QV_WHY="Wine's 32-bit loader runs on this machine ($out)"
  else
    QV_CAN_RUN32=0
    QV_WHY="Wine's 32-bit loader cannot run on this machine (exit $rc: $(printf '%s' "$out" | head -1))"
  fi
}

# qv_use i686|x86_64: the build folder, prefix and Wine loader of one build.
qv_use() {
  QV_ARCH=$1
  QV_BUILD=$QV_BUILD_ROOT/$QV_ARCH
  export WINEPREFIX=$QV_BUILD/wineprefix
  if [ "$QV_ARCH" = x86_64 ]; then
    export WINEARCH=win64
    export WINELOADER=/usr/lib/wine/wine64
    QV_WINE=/usr/lib/wine/wine64
  else
    export WINEARCH=win32
    unset WINELOADER
    QV_WINE=wine
  fi
}

qv_wine() { "$QV_WINE" "$@"; }

# qv_build [cmake options...]: configures and builds the build chosen by qv_use.
qv_build() {
  cmake -S "$QV_ROOT" -B "$QV_BUILD" -DCMAKE_TOOLCHAIN_FILE="$QV_ROOT/cmake/mingw-$QV_ARCH.cmake" \
        -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
  cmake --build "$QV_BUILD" -j"$(nproc)"
}

# Starts Xvfb on a free display unless the caller already has one (or wants Xvfb anyway).
qv_display() {
  if [ -n "${DISPLAY:-}" ] && [ "${1:-}" != "xvfb" ]; then
    return
  fi
  local n=99
  while [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
  Xvfb :$n -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  QV_XVFB_PID=$!
  export DISPLAY=:$n
  for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
}

qv_display_down() {
  if [ -n "${QV_XVFB_PID:-}" ]; then kill "$QV_XVFB_PID" 2>/dev/null || true; fi
  QV_XVFB_PID=
}

# A persistent wineserver with all streams closed, then the prefix booted and
# sealed off from the machine's own files: a new prefix links the user's Desktop,
# Documents, Downloads, Music, Pictures and Videos to the Linux home folder; they
# become plain folders inside the prefix, so that no program under test can
# reach a file of the machine's user.
qv_wine_prefix() {
  mkdir -p "$WINEPREFIX"
  wineserver -p </dev/null >/dev/null 2>&1 || true
  # A new win64 prefix complains about syswow64 and may exit nonzero; it is usable.
  qv_wine wineboot -i </dev/null >/dev/null 2>&1 || true
  local link
  for link in "$WINEPREFIX"/drive_c/users/*/*; do
    if [ -L "$link" ]; then
      rm -f "$link" && mkdir -p "$link"
    fi
  done
}

# The prefix (above), then every program runs inside one virtual desktop
# (captions, taskbar and tray, and fast show/hide).
qv_wine_up() {
  qv_wine_prefix
  # A crash prints its backtrace and ends the program instead of waiting in a dialog.
  qv_wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1 || true
  qv_wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Quorvane /f </dev/null >/dev/null 2>&1 || true
  qv_wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Quorvane /d 1024x768 /f </dev/null >/dev/null 2>&1 || true
  # The desktop itself, started here with its streams closed so that no test
  # process starts it (it would inherit ctest's pipes).
  qv_wine explorer /desktop=Quorvane,1024x768 </dev/null >/dev/null 2>&1 &
  sleep 2
}

# Ends the wineserver of the current prefix.
qv_wine_down() {
  wineserver -k </dev/null >/dev/null 2>&1 || true
}

# qv_timed <label> <command...>: runs the command and prints how long it took.
qv_timed() {
  local label=$1 start rc
  shift
  start=$(date +%s)
  "$@"
  rc=$?
  echo "[time] $label: $(($(date +%s) - start)) s"
  return $rc
}
