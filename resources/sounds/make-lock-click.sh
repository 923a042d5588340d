#!/usr/bin/env bash
# The short click the lock-period editor plays when the finger reaches a bar:
# 25 ms of a 2.2 kHz tone with a fast fade, mono 16-bit at 22050 Hz.
# Needs: apt-get install sox
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
sox -n -r 22050 -c 1 -b 16 lock_click.wav synth 0.025 sine 2200 fade q 0.002 0.025 0.018 vol 0.6
