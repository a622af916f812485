#!/usr/bin/env bash
# Native builds of the restart-list splicing, setup's command line and the folder
# guard's path part with AddressSanitizer and UBSan, each with a bounded
# seeded random run against its property. Exits nonzero on any failure.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
out=${QV_BUILD:-$root/build}/fuzz
mkdir -p "$out"
cxx=${CXX_HOST:-g++}
"$cxx" -std=c++17 -g -O1 -fsanitize=address,undefined -fno-sanitize-recover=all -I"$root" \
  "$root/common/restartsplice.cpp" "$here/splice_fuzz.cpp" -o "$out/splice_fuzz"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 "$out/splice_fuzz" "${QV_FUZZ_SEED:-$(date +%s)}" "${QV_FUZZ_SECONDS:-3}"
"$cxx" -std=c++17 -g -O1 -fsanitize=address,undefined -fno-sanitize-recover=all -I"$root" \
  "$root/setup/cmdline.cpp" "$here/cmdline_fuzz.cpp" -o "$out/cmdline_fuzz"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 "$out/cmdline_fuzz" "${QV_FUZZ_SEED:-$(date +%s)}" "${QV_FUZZ_SECONDS:-3}"
"$cxx" -std=c++17 -g -O1 -fsanitize=address,undefined -fno-sanitize-recover=all -I"$root" \
  "$root/common/guardpath.cpp" "$here/guard_fuzz.cpp" -o "$out/guard_fuzz"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 "$out/guard_fuzz" "${QV_FUZZ_SEED:-$(date +%s)}" "${QV_FUZZ_SECONDS:-3}"
