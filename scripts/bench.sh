#!/usr/bin/env bash
# Builds and runs the benchmarks once under Wine: the 32-bit product build where
# this machine can run it, else the 64-bit test build.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/env.sh"
qv_probe
if [ "$QV_CAN_RUN32" = 1 ]; then qv_use i686; else qv_use x86_64; fi
echo "Benchmarks of the $QV_ARCH build: $QV_WHY."
qv_build
qv_display
trap 'qv_wine_down; qv_display_down' EXIT
qv_wine_prefix
qv_wine "$QV_BUILD/bin/deletion_bench.exe" </dev/null
