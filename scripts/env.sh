# Sourced by the other scripts: build folder, Wine prefix and display.
QV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
QV_BUILD=${QV_BUILD:-$QV_ROOT/build}
export WINEPREFIX=$QV_BUILD/wineprefix
export WINEARCH=win32
export WINEDEBUG=-all
# No Mono or Gecko installer dialogs in a throwaway prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="

qv_build() {
  cmake -S "$QV_ROOT" -B "$QV_BUILD" -DCMAKE_TOOLCHAIN_FILE="$QV_ROOT/cmake/mingw-i686.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
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

# A persistent wineserver with all streams closed, then the prefix booted.
# Every program runs inside one virtual desktop (captions, taskbar and tray,
# and fast show/hide).
qv_wine_up() {
  mkdir -p "$WINEPREFIX"
  wineserver -p </dev/null >/dev/null 2>&1
  wine wineboot -i </dev/null >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Quorvane /f </dev/null >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Quorvane /d 1024x768 /f </dev/null >/dev/null 2>&1
  # The desktop itself, started here with its streams closed so that no test
  # process starts it (it would inherit ctest's pipes).
  wine explorer /desktop=Quorvane,1024x768 </dev/null >/dev/null 2>&1 &
  sleep 2
}

qv_wine_down() {
  wineserver -k </dev/null >/dev/null 2>&1 || true
  if [ -n "${QV_XVFB_PID:-}" ]; then kill "$QV_XVFB_PID" 2>/dev/null || true; fi
}
