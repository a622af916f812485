#!/usr/bin/env bash
# Set-up, build and the whole test suite under Wine on Xvfb, in a throwaway prefix.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bash "$here/install-deps.sh"
source "$here/env.sh"
qv_build
rm -rf "$WINEPREFIX"
qv_display xvfb
trap qv_wine_down EXIT
qv_wine_up
cd "$QV_BUILD"
QV_BUILD="$QV_BUILD" bash "$QV_ROOT/tests/fuzz/run.sh"
ctest --output-on-failure --timeout 300 "$@"
