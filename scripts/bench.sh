#!/usr/bin/env bash
# Builds and runs the benchmark once under Wine, in the build's own prefix and the
# virtual desktop the tests use: the 32-bit product build where this machine can
# run it, else the 64-bit test build. It prints one table: every figure beside its
# reference measured in the same run, each line ending in "(goal: at most N)" or
# "(goal: at least N)", and last how many figures met their goals. Arguments name
# parts to run alone (bosskey, shredder, deletion, rest, washmemory); "rounds=N"
# sets the rounds of each folder figure (README: the benchmark).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/env.sh"
bash "$here/install-deps.sh"
qv_probe
if [ "$QV_CAN_RUN32" = 1 ]; then qv_use i686; else qv_use x86_64; fi
echo "Benchmark of the $QV_ARCH build: $QV_WHY."
qv_build
qv_display
trap 'qv_wine_down; qv_display_down' EXIT
qv_wine_up
qv_wine "$QV_BUILD/bin/qvbench.exe" "$@" </dev/null
