#!/bin/sh
# Builds the sample programs and writes their pictures into docs/.
set -e
root=$(cd "$(dirname "$0")/../.." && pwd)
build="$root/build/samples"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DQUENTA_BENCH=OFF >/dev/null
cmake --build "$build" --target ui_sample -j4
QUENTA_BUNDLE="$root/resources" "$build/docs/samples/ui_sample" "$root/docs/ui-sample.png"
echo "wrote $root/docs/ui-sample.png"
