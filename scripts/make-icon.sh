#!/usr/bin/env bash
# Draws the program's icon (app/ServiceManager.ico) in the About window's style: two slate server
# towers, the front one with its rack units and green lamps, over an orange foot line. Each size
# is laid out on its own pixel grid and drawn four times larger, then reduced, so that edges fall
# on whole pixels: 16, 20 and 24 pixels (small icons at 96, 120 and 144 dpi), 32, 40, 48, 64,
# 72 and 96 (large icons up to 192 dpi), and 256 for Explorer's large views.
# Needs ImageMagick's convert. The icon is committed; run this only to change it.
set -euo pipefail
out=${1:-"$(cd "$(dirname "$0")/.." && pwd)/app/ServiceManager.ico"}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# r F S: F (a fraction in thousandths) of S pixels, rounded, in the 4x canvas.
r() { echo $(( ($1 * $2 + 500) / 1000 * 4 )); }

render() {
  local s=$1 k=4
  local n=$((s * k))
  # Towers: the back one to the right and higher, the front one lower left.
  local bl=$(r 440 $s) bt=$(r 40 $s) br=$(r 940 $s) bb=$(r 840 $s)
  local fl=$(r 60 $s) ft=$(r 160 $s) fr=$(r 600 $s) fb=$(r 960 $s)
  local rad=$(( s >= 32 ? s * k / 12 : k ))
  local units=$(( s >= 32 ? 4 : 3 ))
  local args=(
    -fill '#3E4B62' -draw "roundrectangle $bl,$bt $((br - 1)),$((bb - 1)) $rad,$rad"
    -fill '#6A7A96' -draw "roundrectangle $((bl + k)),$((bt + k)) $((br - k - 1)),$((bt + (bb - bt) / 8)) $rad,$rad"
    -fill '#232B3A' -draw "roundrectangle $fl,$ft $((fr - 1)),$((fb - 1)) $rad,$rad"
    -fill '#4A566E' -draw "roundrectangle $((fl + k)),$((ft + k)) $((fr - k - 1)),$((fb - k - 1)) $rad,$rad"
  )
  # The back tower's lamps, one column.
  local i y lamp=$(( s >= 32 ? (s / 16) * k : k ))
  for ((i = 0; i < units; i++)); do
    y=$(( bt + (bb - bt) * (2 * i + 3) / (2 * units + 2) ))
    y=$(( y / k * k ))
    args+=(-fill '#3CD25A' -draw "rectangle $((br - 3 * lamp - 2 * k)),$y $((br - 2 * lamp - 2 * k - 1)),$((y + lamp - 1))")
  done
  # The front tower's rack units: a dark slot and a green lamp each.
  local pad=$(( (fr - fl) / 8 / k * k )); [ $pad -lt $k ] && pad=$k
  local uh=$(( ((fb - ft) - 2 * pad) / units / k * k ))
  for ((i = 0; i < units; i++)); do
    y=$(( ft + pad + i * uh + k ))
    local slot=$(( uh - 2 * k )); [ $slot -lt $k ] && slot=$k
    args+=(-fill '#18202C' -draw "rectangle $((fl + pad)),$y $((fr - pad - 1)),$((y + slot - 1))")
    args+=(-fill '#3CD25A' -draw "rectangle $((fr - pad - lamp - k)),$((y + (slot - lamp) / 2 / k * k)) $((fr - pad - k - 1)),$((y + (slot - lamp) / 2 / k * k + lamp - 1))")
  done
  # The orange foot line of the About window's band.
  local foot=$(( s >= 32 ? (s / 24) * k : k ))
  args+=(-fill '#F0921E' -draw "rectangle $fl,$((n - foot)) $((br - 1)),$((n - 1))")
  convert -size ${n}x${n} xc:none "${args[@]}" -filter Box -resize ${s}x${s} "PNG32:$tmp/$s.png"
}

sizes=(16 20 24 32 40 48 64 72 96 256)
files=()
for s in "${sizes[@]}"; do render "$s"; files+=("$tmp/$s.png"); done
convert "${files[@]}" "$out"
echo "$out"
