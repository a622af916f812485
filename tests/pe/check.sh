#!/usr/bin/env bash
# Reads the built binaries on the Linux side, without running them:
#   check.sh <i686|x86_64> <bin folder> <Quorvane.def>
# - every program and library is a PE image of that width (PE32 i386 or PE32+ x86-64);
# - Quorvane.dll exports by ordinal only, exactly the ordinals of the definition file;
# - every program that imports Quorvane.dll imports it by ordinal only, and only
#   ordinals the library exports.
# Prints one line per finding and exits nonzero when anything is wrong.
set -uo pipefail
arch=$1 bin=$2 def=$3
case $arch in
  i686) format=pei-i386 objdump=i686-w64-mingw32-objdump ;;
  x86_64) format=pei-x86-64 objdump=x86_64-w64-mingw32-objdump ;;
  *) echo "unknown width: $arch"; exit 2 ;;
esac
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The ordinals of the definition file: "@N" after a blank ("Name@16" is a decoration).
expected=$(grep -oE '[[:space:]]@[0-9]+' "$def" | tr -d ' \t@' | sort -n | tr '\n' ' ')
[ -n "$expected" ] || fail "no ordinals in $def"

required=(Quorvane.dll qvtoolbar.exe)
optional=(setup.exe uninstall.exe qvuac.exe qvrunas.exe qvtbclient.exe)
for name in "${required[@]}" "${optional[@]}"; do
  file=$bin/$name
  if [ ! -f "$file" ]; then
    case " ${required[*]} " in *" $name "*) fail "$name is missing" ;; esac
    continue
  fi
  got=$("$objdump" -f "$file" 2>&1 | sed -n 's/.*file format \([^ ]*\)$/\1/p' | head -1)
  [ "$got" = "$format" ] || fail "$name is '$got', not $format"
done

dump=$("$objdump" -p "$bin/Quorvane.dll" 2>/dev/null)
names=$(printf '%s\n' "$dump" | sed -n 's/.*\[Name Pointer\/Ordinal\] Table[[:space:]]*\([0-9a-fA-F]*\).*/\1/p' | head -1)
[ "$names" = "00000000" ] || fail "Quorvane.dll exports names ($names)"
exported=$(printf '%s\n' "$dump" | sed -n '/^Export Address Table -- /,/^$/p' \
  | sed -n 's/.*+base\[ *\([0-9]*\)\].*/\1/p' | sort -n | tr '\n' ' ')
[ "$exported" = "$expected" ] || fail "Quorvane.dll exports ordinals [$exported], the definition file has [$expected]"

for name in qvtoolbar.exe setup.exe uninstall.exe; do
  file=$bin/$name
  [ -f "$file" ] || continue
  # The thunks of the Quorvane.dll block: "<vma> <ordinal> <name>"; by ordinal means
  # the top bit of the thunk set and no name.
  block=$("$objdump" -p "$file" | awk 'tolower($0) ~ /dll name: quorvane\.dll/ {on=1; next} on && /^[[:space:]]*$/ {exit} on && $1 ~ /^[0-9a-fA-F]+$/ {print}')
  [ -n "$block" ] || { fail "$name does not import Quorvane.dll"; continue; }
  while read -r vma _ member _; do
    case $vma in 8*) ;; *) fail "$name imports from Quorvane.dll by name: $vma $member"; continue ;; esac
    [ ${#vma} -eq $([ "$arch" = i686 ] && echo 8 || echo 16) ] || fail "$name: thunk $vma is not of this width"
    [ "$member" = "<none>" ] || fail "$name imports $member by name"
    n=$((16#${vma: -4}))  # the ordinal is the thunk's low 16 bits
    case " $expected " in *" $n "*) ;; *) fail "$name imports ordinal $n, which the library does not export" ;; esac
  done <<< "$block"
done

if [ "$failures" -eq 0 ]; then
  echo "PE check ($arch, $bin): all binaries $format; exports and imports by ordinal only"
  exit 0
fi
exit 1
