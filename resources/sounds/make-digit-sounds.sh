#!/usr/bin/env bash
# Speaks the ten digits the main screen reads aloud, in Mandarin, with
# espeak-ng, and encodes them as MP3 with sndfile-convert:
#   music0.mp3 ... music9.mp3 (mono, one digit each, about 0.5 s).
# Needs: apt-get install espeak-ng sndfile-programs
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
words=(零 一 二 三 四 五 六 七 八 九)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for d in 0 1 2 3 4 5 6 7 8 9; do
  espeak-ng -v cmn -s 150 -w "$tmp/$d.wav" "${words[$d]}"
  sndfile-convert "$tmp/$d.wav" "music$d.mp3"
done
