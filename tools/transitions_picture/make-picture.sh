#!/bin/sh
# Draws docs/engine-transitions.png: three scene transitions caught half way.
# Usage: tools/transitions_picture/make-picture.sh [build-dir]   (default build/asan)
set -eu
here=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-"$here/build/asan"}
ninja -C "$build" transitions_picture
MESA_SHADER_CACHE_DISABLE=true LIBGL_ALWAYS_SOFTWARE=1 \
  "$build/tools/transitions_picture/transitions_picture" "$here/docs/engine-transitions.png"
