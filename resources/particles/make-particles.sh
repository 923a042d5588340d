#!/usr/bin/env bash
# Draws the particle pictures with ImageMagick and writes the particle files
# of the nine-star screen:
#   fire.png (32x32): a soft white dot, the texture of the ready-made emitters.
#   particle_glow.png (32x32): a warm glow with a bright core, the texture of
#     point.plist.
#   point.plist: the emitter that travels along the star path, leaving a
#     short-lived golden trail (additive blending, free particles).
#   start2.plist: the burst of sparks at each star reached. Its texture (a
#     small four-pointed spark) is embedded as base64 of the gzip-compressed
#     PNG under the name "start2_spark.png", which is no file of the bundle.
# Needs: apt-get install imagemagick coreutils gzip
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
convert=/usr/bin/convert
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

"$convert" -size 32x32 radial-gradient:'#ffffffff'-'#ffffff00' -depth 8 -strip PNG32:fire.png

"$convert" -size 32x32 radial-gradient:'#fff2c8ff'-'#ffb04000' \
  \( -size 32x32 xc:none -fill '#ffffffd0' -draw 'circle 16,16 16,21' -blur 0x1.5 \) \
  -compose over -composite -depth 8 -strip PNG32:particle_glow.png

"$convert" -size 16x16 xc:none -fill '#ffffff' \
  -draw 'polygon 8,0 9,7 16,8 9,9 8,16 7,9 0,8 7,7' -blur 0x0.6 \
  \( -size 16x16 radial-gradient:'#ffffffff'-'#ffffff00' \) -compose screen -composite \
  -depth 8 -strip "PNG32:$tmp/spark.png"
spark=$(gzip -9 -n -c "$tmp/spark.png" | base64 -w 0)

# key value pairs -> <key>k</key><real>v</real>; the texture keys are strings.
plist() {
  local out=$1
  shift
  {
    printf '<?xml version="1.0" encoding="UTF-8"?>\n'
    printf '<plist version="1.0">\n<dict>\n'
    while [ $# -gt 0 ]; do
      case $1 in
        textureFileName | textureImageData) printf '\t<key>%s</key>\n\t<string>%s</string>\n' "$1" "$2" ;;
        maxParticles | emitterType | blendFuncSource | blendFuncDestination)
          printf '\t<key>%s</key>\n\t<integer>%s</integer>\n' "$1" "$2" ;;
        *) printf '\t<key>%s</key>\n\t<real>%s</real>\n' "$1" "$2" ;;
      esac
      shift 2
    done
    printf '</dict>\n</plist>\n'
  } >"$out"
}

plist point.plist \
  maxParticles 160 angle 90 angleVariance 360 duration -1 \
  blendFuncSource 770 blendFuncDestination 1 \
  startColorRed 1 startColorGreen 0.86 startColorBlue 0.45 startColorAlpha 1 \
  startColorVarianceRed 0 startColorVarianceGreen 0.08 startColorVarianceBlue 0.1 startColorVarianceAlpha 0 \
  finishColorRed 1 finishColorGreen 0.45 finishColorBlue 0.1 finishColorAlpha 0 \
  finishColorVarianceRed 0 finishColorVarianceGreen 0 finishColorVarianceBlue 0 finishColorVarianceAlpha 0 \
  startParticleSize 26 startParticleSizeVariance 6 finishParticleSize 6 finishParticleSizeVariance 2 \
  sourcePositionx 160 sourcePositiony 240 sourcePositionVariancex 3 sourcePositionVariancey 3 \
  rotationStart 0 rotationStartVariance 0 rotationEnd 0 rotationEndVariance 0 \
  emitterType 0 gravityx 0 gravityy 0 speed 18 speedVariance 8 \
  radialAcceleration 0 radialAccelVariance 0 tangentialAcceleration 0 tangentialAccelVariance 0 \
  particleLifespan 0.8 particleLifespanVariance 0.25 \
  textureFileName particle_glow.png

plist start2.plist \
  maxParticles 100 angle 90 angleVariance 360 duration 0.2 \
  blendFuncSource 770 blendFuncDestination 1 \
  startColorRed 0.85 startColorGreen 0.93 startColorBlue 1 startColorAlpha 1 \
  startColorVarianceRed 0.1 startColorVarianceGreen 0.05 startColorVarianceBlue 0 startColorVarianceAlpha 0 \
  finishColorRed 0.4 finishColorGreen 0.6 finishColorBlue 1 finishColorAlpha 0 \
  finishColorVarianceRed 0 finishColorVarianceGreen 0 finishColorVarianceBlue 0 finishColorVarianceAlpha 0 \
  startParticleSize 14 startParticleSizeVariance 4 finishParticleSize 3 finishParticleSizeVariance 1 \
  sourcePositionx 0 sourcePositiony 0 sourcePositionVariancex 0 sourcePositionVariancey 0 \
  rotationStart 0 rotationStartVariance 45 rotationEnd 180 rotationEndVariance 45 \
  emitterType 0 gravityx 0 gravityy -120 speed 110 speedVariance 40 \
  radialAcceleration -30 radialAccelVariance 10 tangentialAcceleration 0 tangentialAccelVariance 20 \
  particleLifespan 0.5 particleLifespanVariance 0.15 \
  textureFileName start2_spark.png textureImageData "$spark"
