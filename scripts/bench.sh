#!/usr/bin/env bash
# Builds the product and runs the deletion benchmark once under Wine.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/env.sh"
qv_build
qv_display
trap qv_wine_down EXIT
wineserver -p </dev/null >/dev/null 2>&1
wine wineboot </dev/null >/dev/null 2>&1
wine "$QV_BUILD/bin/deletion_bench.exe" </dev/null
