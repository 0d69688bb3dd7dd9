#!/bin/sh
# Draws banner.gif, the maker's advertising banner shown above the main window (468 x 60, our own
# artwork). Needs ImageMagick and the Liberation fonts; run from this folder.
set -eu
bold=/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf
regular=/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf
convert -size 468x60 gradient:'#0b2a5b'-'#1d5fa8' \
  -fill '#f2b632' -draw 'roundrectangle 8,8 52,52 8,8' \
  -fill '#0b2a5b' -font "$bold" -pointsize 24 -gravity northwest -annotate +12+16 'VS' \
  -fill white -font "$bold" -pointsize 22 -annotate +64+7 'Velmora Soft' \
  -fill '#dfe9f7' -font "$regular" -pointsize 13 -annotate +64+36 'Программы для веб-мастеров' \
  -fill '#f2b632' -font "$bold" -pointsize 12 -gravity northeast -annotate +12+10 'www.velmora-soft.example' \
  -fill white -font "$regular" -pointsize 12 -annotate +12+36 'Загляните к нам!' \
  -fill none -stroke '#f2b632' -strokewidth 1 -draw 'rectangle 0,0 467,59' \
  -colors 64 banner.gif
