#!/usr/bin/env bash
# Set-up, both builds and the whole test suite under Wine on Xvfb, in throwaway
# prefixes. Where this machine runs 32-bit code, the suite runs on the 32-bit
# product build and on the 64-bit test build; where it cannot (or QV_FORCE_WIN64=1),
# the 32-bit build is read without running it (tests/pe/check.sh) and the suite
# runs on the 64-bit build. Arguments go to ctest.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/env.sh"
qv_timed "install" bash "$here/install-deps.sh" || exit 1
qv_probe
echo "Probe: $QV_WHY"

qv_use i686
qv_timed "build i686" qv_build || exit 1
pe32_bin=
[ "$QV_CAN_RUN32" = 1 ] || pe32_bin=$QV_BUILD/bin
qv_use x86_64
qv_timed "build x86_64" qv_build -DQV_CHECK_PE32_BIN="$pe32_bin" || exit 1
qv_timed "fuzz" env QV_BUILD="$QV_BUILD_ROOT" bash "$QV_ROOT/tests/fuzz/run.sh" || exit 1

qv_display xvfb
trap 'qv_wine_down; qv_display_down' EXIT

# suite <arch> [ctest arguments...]: a fresh prefix, the whole ctest run, the server ended.
suite() {
  qv_use "$1"
  shift
  rm -rf "$WINEPREFIX"
  qv_timed "prefix $QV_ARCH" qv_wine_up
  (cd "$QV_BUILD" && qv_timed "ctest $QV_ARCH" ctest --output-on-failure --timeout 150 "$@")
  local rc=$?
  if [ $rc != 0 ]; then
    # Once in a long while a Wine process dies before its first line (no output,
    # no time). The failed tests run once more; the ones that pass then are named
    # so that a test that really is unsteady is seen, and the run counts as passed.
    local failed_tests
    failed_tests=$(sed 's/^[0-9]*://' "$QV_BUILD/Testing/Temporary/LastTestsFailed.log" 2>/dev/null | tr '\n' ' ')
    echo "Running the failed tests of $QV_ARCH once more: $failed_tests"
    (cd "$QV_BUILD" && ctest --output-on-failure --timeout 150 --rerun-failed)
    rc=$?
    [ $rc = 0 ] && echo "UNSTEADY on $QV_ARCH (failed once, then passed): $failed_tests"
  fi
  qv_wine_down
  return $rc
}

failed=()
if [ "$QV_CAN_RUN32" = 1 ]; then
  suite i686 "$@" || failed+=(i686)
  suite x86_64 "$@" || failed+=(x86_64)
  summary="Ran the whole suite on the i686 build (win32 prefix) and on the x86_64 build (win64 prefix): $QV_WHY."
else
  suite x86_64 "$@" || failed+=(x86_64)
  summary="Ran the whole suite on the x86_64 build (win64 prefix); the i686 build was only checked (PE32 i386, ordinal exports and imports, read by objdump in test PeCheck.i686) because $QV_WHY."
fi
echo "$summary"
if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
