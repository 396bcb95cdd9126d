#!/usr/bin/env bash
# Draws the two pictures of the About window with ImageMagick: a forest scene (150 x 150) and
# the logo banner (180 x 30), both 24-bit PNG, into app/pictures/. They are compiled into the
# program as resources; run this again only to change them. The result is the same on every
# run: the random trees come from a fixed seed and the files carry no dates.
source "$(dirname "$0")/strict.sh"
cd "$(dirname "$0")/.."

out=app/pictures
banner_text="Lindavex Pro"
font_bold=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
mkdir -p "$out"

# Both pictures are drawn at four times their size and scaled down, which smooths the edges.
scale=4
png_options=(-strip -define png:exclude-chunks=date,time -type TrueColor)

# Sets r to a number from LOW to HIGH. It must not run in a subshell, which would reseed RANDOM.
RANDOM=4711
random() { # random LOW HIGH
    r=$(($1 + RANDOM % ($2 - $1 + 1)))
}

# A spruce of five tiers with drooping branch tips: base centre x, base y, height, colour.
spruce() {
    local x=$1 base=$2 height=$3 colour=$4
    local tier top bottom width droop
    local draw="-fill '$colour'"
    for tier in 0 1 2 3 4; do
        top=$((base - height + tier * height * 3 / 20))
        bottom=$((base - height + (tier + 2) * height / 6))
        width=$((height * (tier + 2) / 26))
        droop=$((height / 40 + 1))
        draw+=" -draw 'polygon $x,$top $((x - width)),$((bottom + droop)) $((x - width / 2)),$bottom"
        draw+=" $((x + width / 2)),$bottom $((x + width)),$((bottom + droop))'"
    done
    echo "$draw"
}

forest() {
    local size=$((150 * scale)) commands="" x
    # Far hills.
    commands+=" -fill '#7d9c9a' -draw 'polygon 0,300 90,250 200,270 330,230 450,262 600,240 600,360 0,360'"
    # Back row: small, hazy spruces along the edge of the wood.
    local shades=('#4f7860' '#466f57' '#557e63') base height
    for x in $(seq -10 14 610); do
        random 345 360; base=$r
        random 70 110; height=$r
        random 0 2
        commands+=" $(spruce "$x" "$base" "$height" "${shades[$r]}")"
    done
    # Meadow in front of the wood, and the forest road running into it.
    commands+=" -fill '#5f8a35' -draw 'rectangle 0,350 600,600'"
    commands+=" -fill '#6d9a3c' -draw 'polygon 0,420 600,390 600,600 0,600'"
    commands+=" -fill '#b59a6e' -draw 'polygon 285,352 305,352 420,600 180,600'"
    commands+=" -fill '#9c8258' -draw 'polygon 293,352 297,352 330,600 270,600'"
    # Middle row on both sides of the road.
    for x in 20 70 120 175 225 375 425 480 530 585; do
        random 395 420; base=$r
        random 170 230; height=$r
        commands+=" $(spruce "$x" "$base" "$height" '#2f5a3a')"
        commands+=" -fill '#4a3322' -draw 'rectangle $((x - 4)),$((410 - 12)) $((x + 4)),420'"
    done
    # Two large spruces close by, cut by the picture's edges.
    commands+=" -fill '#5a3d26' -draw 'rectangle 52,480 72,600' -draw 'rectangle 535,470 555,600'"
    commands+=" $(spruce 62 560 520 '#1d3b25') $(spruce 545 545 500 '#20402a')"
    # Grain and uneven light make the drawing look like a photograph: a fractal texture laid
    # over it, and a soft lens blur.
    eval convert -size "${size}x${size}" gradient:'#8fbbe3'-'#e3ecef' "$commands" \
        \\\( -seed 4711 -size "${size}x${size}" plasma:grey50-grey50 -colorspace Gray \
        -blur 0x2 \\\) -compose Overlay -composite -compose Over \
        -seed 4711 -attenuate 0.5 +noise Gaussian -blur 0x1.5 \
        -resize 150x150 "${png_options[@]}" "PNG24:$out/forest.png"
}

banner() {
    local width=$((180 * scale)) height=$((30 * scale))
    convert -size "${height}x${width}" gradient:'#2f6b3a'-'#143823' -rotate -90 \
        -fill '#e7c98f' -stroke '#6b4a26' -strokewidth 5 -draw 'circle 60,60 60,14' \
        -fill none -stroke '#b08a55' -strokewidth 3 \
        -draw 'circle 60,60 60,24' -draw 'circle 60,60 60,34' -draw 'circle 60,60 60,44' \
        -draw 'circle 60,60 60,52' -stroke '#6b4a26' -draw 'line 60,60 92,36' \
        -stroke none -fill '#f4efe0' -font "$font_bold" -pointsize 58 \
        -annotate +122+81 "$banner_text" \
        -fill '#e7c98f' -draw 'rectangle 124,96 700,100' \
        -resize 180x30\! "${png_options[@]}" "PNG24:$out/banner.png"
}

forest
banner
echo "Wrote $out/forest.png and $out/banner.png"
