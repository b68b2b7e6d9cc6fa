#!/usr/bin/env bash
# Remakes the two pictures of Vireon's forms with ImageMagick:
#   logo.jpg    85 x 22  the logo of the main window's status panel
#   banner.jpg 380 x 98  the banner of the about box
# Both show a few LED spectrum bars (green at the bottom, yellow, red at the
# top, like the analyser's own bars) and the name, on the displays' near-black.
# Usage: src/ui/pictures/make-pictures.sh   (writes next to this script)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

background='rgb(10,10,20)'
font_bold=DejaVu-Sans-Bold
font=DejaVu-Sans

# Vertical gradient of a lit bar, red at the top to dark green at the bottom.
bar_gradient() { # width height output
    convert 'xc:rgb(235,30,0)' 'xc:rgb(235,215,0)' 'xc:rgb(0,210,0)' 'xc:rgb(0,110,0)' \
        -append -filter Triangle -resize "$1x$2!" "$3"
}

# White rectangles, one per bar, standing on a common base line, with a black
# gap every third row so the bars look like LED segments.
bar_mask() { # width height x0 bar_width gap base_y heights... output(last)
    local width=$1 height=$2 x=$3 bar_width=$4 gap=$5 base=$6
    shift 6
    local args=() h
    while [ $# -gt 1 ]; do
        h=$1
        shift
        args+=(-draw "rectangle $x,$((base - h)) $((x + bar_width - 1)),$base")
        x=$((x + bar_width + gap))
    done
    local out=$1
    convert -size "${width}x${height}" xc:black -fill white "${args[@]}" \
        -fill black -draw "$(for ((y = base - 2; y > 0; y -= 3)); do printf 'line 0,%d %d,%d ' "$y" "$width" "$y"; done)" \
        "$out"
}

make_logo() {
    bar_gradient 85 22 "$work/logo-gradient.png"
    bar_mask 85 22 3 3 1 19 5 9 14 11 16 8 12 6 "$work/logo-mask.png"
    convert -size 85x22 "xc:$background" "$work/logo-gradient.png" "$work/logo-mask.png" -composite \
        -font "$font_bold" -pointsize 13 -fill 'rgb(208,230,208)' -annotate +37+16 'Vireon' \
        -strip -sampling-factor 1x1 -quality 95 "$here/logo.jpg"
}

make_banner() {
    local heights=(14 24 37 50 61 57 48 58 71 79 66 53 45 56 41 33 26 17)
    bar_gradient 380 98 "$work/banner-gradient.png"
    bar_mask 380 98 14 8 3 88 "${heights[@]}" "$work/banner-mask.png"
    convert -size 380x98 gradient:'rgb(24,26,36)'-"$background" \
        "$work/banner-gradient.png" "$work/banner-mask.png" -composite \
        -fill 'rgb(52,70,52)' -draw 'line 10,90 216,90' \
        -font "$font_bold" -pointsize 34 -fill 'rgb(225,240,225)' -annotate +232+48 'Vireon' \
        -font "$font" -pointsize 10 -fill 'rgb(0,200,0)' -annotate +235+66 'real-time audio' \
        -annotate +235+79 'spectrum analyser' \
        -strip -sampling-factor 1x1 -quality 95 "$here/banner.jpg"
}

make_logo
make_banner
identify "$here/logo.jpg" "$here/banner.jpg"
