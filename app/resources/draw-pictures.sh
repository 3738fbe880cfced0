#!/bin/sh
# Redraws picture_2.png and vxi_logo.png beside this script from draw_pictures.cpp.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck disable=SC2046  # pkg-config prints several flags on purpose
g++ -std=c++20 -fPIC -Wall -Wextra -Werror -o "$work/draw_pictures" "$here/draw_pictures.cpp" \
    $(pkg-config --cflags --libs Qt6Gui)
QT_QPA_PLATFORM=offscreen "$work/draw_pictures" "$here"
