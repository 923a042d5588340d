#!/bin/sh
# Every library folder has its row: each folder of platform/, lib/ and app/
# (and of app/screens/ that is no area: the shared parts) that holds a
# CMakeLists.txt is named in docs/internals/architecture.md as `<layer>/<folder>/`,
# and each folder of lib/engine2d/ has a row `| \`<folder>\` |` in
# docs/internals/engine.md.
set -eu
root="$1"
arch="$root/docs/internals/architecture.md"
engine="$root/docs/internals/engine.md"
missing=""
for dir in "$root"/platform/*/ "$root"/lib/*/ "$root"/app/*/ "$root"/app/screens/shared/; do
  [ -f "$dir/CMakeLists.txt" ] || continue
  name="${dir#"$root"/}"
  grep -qF "\`$name" "$arch" || missing="$missing
  architecture.md: $name"
done
for dir in "$root"/lib/engine2d/*/; do
  [ -f "$dir/CMakeLists.txt" ] || continue
  name="$(basename "$dir")"
  grep -qF "| \`$name\` |" "$engine" || missing="$missing
  engine.md: lib/engine2d/$name/"
done
if [ -n "$missing" ]; then
  echo "library folders without a row:$missing"
  exit 1
fi
echo "every library folder has its row"
