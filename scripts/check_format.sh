#!/usr/bin/env bash
# Fails when a C++ file of the tree differs from what clang-format makes of
# it with the repository's .clang-format, and names each such file.
#   scripts/check_format.sh            every C++ file of the tree
#   scripts/check_format.sh FILE...    only these
set -uo pipefail
cd "$(dirname "$0")/.."
if [ $# -gt 0 ]; then
  files=("$@")
else
  mapfile -t files < <(git ls-files -- 'src/*.cpp' 'src/*.h' 'cli/*.cpp' 'cli/*.h' 'gui/*.cpp' 'gui/*.h' 'quantize/*.cpp' 'quantize/*.h' \
    'tests/*.cpp' 'tests/*.h' 'fuzz/*.cpp' 'fuzz/*.h' 'bench/*.cpp' 'bench/*.h' 'tools/*.cpp' 'tools/*.h')
fi
status=0
for file in "${files[@]}"; do
  if ! clang-format --dry-run -Werror "$file" >/dev/null 2>&1; then
    echo "not formatted: $file (clang-format -i $file)" >&2
    status=1
  fi
done
exit $status
