#!/usr/bin/env bash
# Renders the raster pictures from their SVG sources: src/<path>.svg -> <path>.png at the size the
# windows show them. The PNGs are committed, so building never needs this; run it after changing a
# source (needs rsvg-convert from librsvg2-bin and the Noto Sans CJK SC font of fonts-noto-cjk).
set -euo pipefail
cd "$(dirname "$0")"
command -v rsvg-convert >/dev/null || { echo "render.sh: rsvg-convert not installed (librsvg2-bin)" >&2; exit 1; }

# path (without .svg/.png)        width height
while read -r path w h; do
  [[ -z "$path" || "$path" == \#* ]] && continue
  mkdir -p "$(dirname "$path")"
  rsvg-convert -w "$w" -h "$h" -o "$path.png" "src/$path.svg"
  echo "$path.png ${w}x${h}"
done <<'SIZES'
img/back1                          820 620
img/back_up                        820 620
img/startBak1                      410 460
img/startIcon2x                     96  96
img/startIcon                       64  64
img/loading2x                       58  57
img/guide1                          97  73
img/guide3                          97  73
img/guide4                          97  73
img/icon_picShadow2                210 274
img/icon_fileShadow2               210 274
img/icon_mirrorShadow2             210 274
img/icon_expandShadow2             210 274
img/icon_desktopShadow2            210 274
images/a/1                           8   9
images/a/2                           8   9
images/a/3                           8   9
images/a/4                           8   9
RiDovud/res/icon/default_head      120 120
RiDovud/res/image/loginback        925 600
resource/lynServerlogo             148 148
resource/lynjieshou                148 148
SIZES
