#!/bin/sh
# Draws docs/engine-multisampling.png: a turned sprite's edge without and with
# multisampling, magnified six times.
# Usage: tools/multisampling_picture/make-picture.sh [build-dir]   (default build/asan)
set -eu
here=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-"$here/build/asan"}
ninja -C "$build" multisampling_picture
# fontconfig keeps its caches to the end of the process (not a leak of ours).
ASAN_OPTIONS=detect_leaks=0 MESA_SHADER_CACHE_DISABLE=true LIBGL_ALWAYS_SOFTWARE=1 \
  "$build/tools/multisampling_picture/multisampling_picture" "$here/docs/engine-multisampling.png"
