#!/usr/bin/env bash
# Draws the About box's product picture, 43 x 233 pixels, in two colour
# depths: product256.png with at most 256 colours and product16.png in the
# 16 colours of the standard VGA palette, for displays with few colours.
# Needs ImageMagick and the Liberation fonts (Debian: imagemagick,
# fonts-liberation). The hand pointer, hand.xpm, is drawn by hand.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A deep blue band fading to teal, a note at the top, the product name
# reading upwards and a small level meter at the foot.
convert -size 43x233 gradient:'#0b1f5c'-'#0f7f8a' \
    -fill '#ffffff' -stroke none \
    -draw 'ellipse 15,33 6,4.5 0,360' \
    -draw 'ellipse 29,29 6,4.5 0,360' \
    -draw 'rectangle 19,9 21,33' \
    -draw 'rectangle 33,5 35,29' \
    -draw 'polygon 19,9 35,5 35,10 19,14' \
    \( -size 150x34 xc:none -font Liberation-Sans-Bold -pointsize 21 \
       -fill '#ffffff' -gravity center -annotate +0+0 'SonbrelMP3' -rotate -90 \) \
    -gravity north -geometry +0+46 -composite -gravity northwest \
    -fill '#7ee081' -draw 'rectangle 5,206 10,226' \
    -fill '#b6e35b' -draw 'rectangle 13,199 18,226' \
    -fill '#f2d14b' -draw 'rectangle 21,211 26,226' \
    -fill '#f59e3b' -draw 'rectangle 29,203 34,226' \
    -fill '#7ee081' -draw 'rectangle 37,214 38,226' \
    -fill '#d8e6ff' -draw 'rectangle 4,228 38,228' \
    "$work/picture.png"

convert "$work/picture.png" -dither FloydSteinberg -colors 256 -strip "PNG8:$here/product256.png"

# The 16 colours of the VGA palette.
convert \
    xc:'#000000' xc:'#800000' xc:'#008000' xc:'#808000' \
    xc:'#000080' xc:'#800080' xc:'#008080' xc:'#c0c0c0' \
    xc:'#808080' xc:'#ff0000' xc:'#00ff00' xc:'#ffff00' \
    xc:'#0000ff' xc:'#ff00ff' xc:'#00ffff' xc:'#ffffff' \
    +append "$work/vga16.png"
convert "$work/picture.png" -dither FloydSteinberg -remap "$work/vga16.png" -strip \
    "PNG8:$here/product16.png"
