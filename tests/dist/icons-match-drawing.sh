#!/bin/bash
# The committed theme pictures are the drawing busview.svg rendered at their
# sizes, pixel for pixel: a changed drawing needs them rendered again with
#   rsvg-convert -w N -h N busview.svg -o busview-N.png
# Usage: icons-match-drawing.sh ICON-DIR SIZE...
set -u
dir=${1:?icon directory}
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for size in "$@"; do
  rsvg-convert -w "$size" -h "$size" "$dir/busview.svg" -o "$work/$size.png" || exit 1
  differing=$(compare -metric AE "$dir/busview-$size.png" "$work/$size.png" null: 2>&1)
  [[ $differing == 0 ]] || { echo "busview-$size.png is not busview.svg at $size pixels: $differing pixels differ"; status=1; }
done
exit $status
