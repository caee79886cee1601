#!/usr/bin/env bash
# Fails when a source file under src/ includes a header of a folder that comes
# later in the layer order (src/CMakeLists.txt), or one of the front ends,
# tests or tools; or when quantize/, the layer above src/, includes a front
# end, tests or tools. Prints each offending include as file:line.
set -euo pipefail
cd "$(dirname "$0")/.."
layers=(base filelib resfile records markup imaging architecture builder app)
declare -A rank
for i in "${!layers[@]}"; do rank[${layers[$i]}]=$i; done

status=0
for layer in "${layers[@]}"; do
  [ -d "src/$layer" ] || continue
  while IFS=: read -r file line text; do
    target=$(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^/"]*\)\/.*/\1/p' <<<"$text")
    [ -n "$target" ] || continue
    if [ -z "${rank[$target]+x}" ]; then
      echo "$file:$line: src/$layer includes $target/, which is not a library folder" >&2
      status=1
    elif ((rank[$target] > rank[$layer])); then
      echo "$file:$line: src/$layer includes $target/, a later layer" >&2
      status=1
    fi
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "src/$layer" --include='*.h' --include='*.cpp' || true)
done

# quantize/ sits above every layer of src/ (it links libimagequant, which src/
# must not): it may include any of them and itself, but no front end.
while IFS=: read -r file line text; do
  target=$(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^/"]*\)\/.*/\1/p' <<<"$text")
  [ -n "$target" ] || continue
  if [ -z "${rank[$target]+x}" ] && [ "$target" != quantize ]; then
    echo "$file:$line: quantize/ includes $target/, which is not a library folder" >&2
    status=1
  fi
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' quantize --include='*.h' --include='*.cpp' || true)
exit $status
