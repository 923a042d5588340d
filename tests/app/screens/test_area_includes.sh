#!/bin/sh
# quenta_screen_area refuses an area that includes another area's header and
# takes one that includes only its own and the shared parts'; the shared
# parts include no area. quenta_screen_parts_rule refuses a shared part that
# one area uses and a screen part in app/cycle. Configures tiny projects.
set -eu
root="$1"
work="$(mktemp -d /tmp/quenta-areas-XXXXXX)"
trap 'rm -rf "$work"' EXIT

make_project() {  # $1 folder, $2 the include lines of area "hub", $3 of the shared parts
  mkdir -p "$1/app/screens/hub" "$1/app/screens/pin" "$1/app/screens/shared"
  cat >"$1/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.25)
project(AreaCheck LANGUAGES CXX)
include("$root/cmake/Quenta.cmake")
add_library(quenta_app_cycle INTERFACE)
add_library(quenta_app_core INTERFACE)
add_subdirectory(app/screens/hub)
add_subdirectory(app/screens/pin)
add_subdirectory(app/screens/shared)
CMAKE
  echo 'quenta_screen_area(hub)' >"$1/app/screens/hub/CMakeLists.txt"
  echo 'quenta_screen_area(pin)' >"$1/app/screens/pin/CMakeLists.txt"
  printf '%s\nint hub() { return 1; }\n' "$2" >"$1/app/screens/hub/Hub.cpp"
  printf '#pragma once\nint pin();\n' >"$1/app/screens/pin/Pin.h"
  printf 'int pin() { return 2; }\n' >"$1/app/screens/pin/Pin.cpp"
  echo 'quenta_screen_shared()' >"$1/app/screens/shared/CMakeLists.txt"
  printf '#pragma once\nint shared();\n' >"$1/app/screens/shared/Shared.h"
  printf '%s\nint shared() { return 3; }\n' "${3:-}" >"$1/app/screens/shared/Shared.cpp"
}

make_project "$work/good" '#include "app/screens/hub/Hub.h"
#include "app/screens/shared/Shared.h"' '#include "app/screens/shared/Shared.h"'
touch "$work/good/app/screens/hub/Hub.h"
cmake -S "$work/good" -B "$work/good/build" >"$work/good.log" 2>&1 || { cat "$work/good.log"; exit 1; }

make_project "$work/bad" '#include "app/screens/pin/Pin.h"'
if cmake -S "$work/bad" -B "$work/bad/build" >"$work/bad.log" 2>&1; then
  echo "an area that includes another area was accepted"; exit 1
fi
tr -s " \n" "  " <"$work/bad.log" | grep -q "a screen area includes another area" || { cat "$work/bad.log"; exit 1; }
make_project "$work/sharedbad" '#include "app/screens/hub/Hub.h"' '#include "app/screens/pin/Pin.h"'
touch "$work/sharedbad/app/screens/hub/Hub.h"
if cmake -S "$work/sharedbad" -B "$work/sharedbad/build" >"$work/sharedbad.log" 2>&1; then
  echo "shared parts that include an area were accepted"; exit 1
fi
tr -s " \n" "  " <"$work/sharedbad.log" | grep -q "a screen area includes another area" || { cat "$work/sharedbad.log"; exit 1; }
# The parts rule: a shared part both areas include and a cycle of the kept
# headers only pass; a shared part one area uses, or a part in the cycle, stop it.
parts_project() {  # $1 folder, $2 the include lines of area "pin", $3 the extra cycle header (or "")
  make_project "$1" '#include "app/screens/shared/Shared.h"'
  printf '%s\nint pin() { return 2; }\n' "$2" >"$1/app/screens/pin/Pin.cpp"
  mkdir -p "$1/app/cycle"
  touch "$1/app/cycle/Keep.h"
  [ -z "$3" ] || touch "$1/app/cycle/$3"
  printf 'quenta_screen_parts_rule(CYCLE "%s" KEEPS Keep.h SHARED "%s")\n' "$1/app/cycle" "$1/app/screens/shared" \
    >>"$1/CMakeLists.txt"
}
refused() {  # $1 folder, $2 what the log must say
  if cmake -S "$1" -B "$1/build" >"$1.log" 2>&1; then
    echo "accepted, but should stop: $2"; exit 1
  fi
  tr -s " \n" "  " <"$1.log" | grep -q "$2" || { cat "$1.log"; exit 1; }
}
parts_project "$work/partsgood" '#include "app/screens/shared/Shared.h"' ""
cmake -S "$work/partsgood" -B "$work/partsgood/build" >"$work/partsgood.log" 2>&1 || { cat "$work/partsgood.log"; exit 1; }
parts_project "$work/lonely" '' ""
refused "$work/lonely" "a shared part that 1 area(s) use"
parts_project "$work/incycle" '#include "app/screens/shared/Shared.h"' "Chrome.h"
refused "$work/incycle" "Chrome.h: app/cycle holds only what every screen stands on"
echo "area include rule holds"
