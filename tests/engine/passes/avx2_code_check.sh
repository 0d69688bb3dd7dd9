#!/bin/sh
# Usage: avx2_code_check.sh OBJECT...
#
# The objects of the passes built for AVX2 may hold AVX code only in functions of slimtag::avx2
# (or named after its types). Any other function there, such as an inline function of the standard
# library that a unit included after the instruction set widened, has the same name as the
# baseline build's copy, and the linker may keep either: processors without AVX2 would then stop
# on it. Fails naming each such function.
status=0
[ "$#" -gt 0 ] || { echo "avx2_code_check.sh: no object given" >&2; exit 2; }
for object in "$@"; do
  # An object that objdump cannot read is a failure, not a pass with nothing found.
  if ! code=$(objdump -d -C --no-show-raw-insn "$object"); then
    echo "$object: objdump cannot read it" >&2
    status=1
    continue
  fi
  printf '%s\n' "$code" | awk -v object="$object" '
    /^[0-9a-f]+ <.*>:$/ {
      name = $0; foreign = index(name, "slimtag::avx2::") == 0; next
    }
    foreign && ($0 ~ /%[yz]mm|:\t+v[a-z0-9]+[ \t]/) {
      print object ": AVX code outside slimtag::avx2: " name; foreign = 0; bad = 1
    }
    END { exit bad }
  ' || status=1
done
exit $status
