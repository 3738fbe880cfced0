#!/bin/sh
# Prints each exported protocol page with headless Chromium to PDF and a picture, and checks
# the PDF: A4 sheets, the expected number of them, every table's numbers in its text, and
# nothing drawn into the right-hand margin (a cut or overflowing line would reach it).
# The PDF, a PNG of each sheet and the browser's own screenshot stay in OUT.
#   print_check.sh EXPORTS OUT
set -u
exports=$1 out=$2
rm -rf "$out" && mkdir -p "$out" || exit 1
browser=$(command -v chromium || command -v chromium-browser) || {
    echo "no chromium on this machine (Debian package chromium)" >&2
    exit 1
}
fail=0
for html in "$exports"/*.html; do
    name=$(basename "$html" .html)
    pdf="$out/$name.pdf"
    # A private profile: the browser writes nothing into the user's home.
    profile=$(mktemp -d)
    "$browser" --headless --no-sandbox --disable-gpu --no-first-run --user-data-dir="$profile" \
        --no-pdf-header-footer --print-to-pdf="$pdf" "file://$(realpath "$html")" 2>/dev/null
    "$browser" --headless --no-sandbox --disable-gpu --no-first-run --user-data-dir="$profile" \
        --window-size=800,1130 --screenshot="$out/$name.screen.png" "file://$(realpath "$html")" \
        2>/dev/null
    rm -rf "$profile"
    if [ ! -s "$pdf" ]; then
        echo "$name: no PDF" >&2
        fail=1
        continue
    fi
    pages=$(pdfinfo "$pdf" | sed -n 's/^Pages: *//p')
    size=$(pdfinfo "$pdf" | sed -n 's/^Page size: *//p')
    sheets=$(grep -c '<section class="sheet">' "$html")
    case $size in
    *"(A4)") ;;
    *) echo "$name: page size $size, not A4" >&2; fail=1 ;;
    esac
    # Each mezzanine's sheet takes at most two pages.
    if [ "$pages" -lt "$sheets" ] || [ "$pages" -gt $((2 * sheets)) ]; then
        echo "$name: $pages pages for $sheets sheets" >&2
        fail=1
    fi
    text=$(pdftotext -layout "$pdf" -)
    for number in $(sed -n 's/.*<td class="n">\([^<]*\)<\/td>.*/\1/p' "$html" | head -n 1) \
        пригодно Заключение Поверитель; do
        printf '%s\n' "$text" | grep -q -- "$number" || {
            echo "$name: \"$number\" is not in the printed text" >&2
            fail=1
        }
    done
    charts=$(grep -c '<svg ' "$html")
    [ "$charts" -ge 4 ] || { echo "$name: $charts charts" >&2; fail=1; }
    pdftoppm -r 60 -png "$pdf" "$out/$name" || fail=1
    for png in "$out/$name"-*.png; do
        # The right-hand 8 mm of the sheet (inside the 12 mm margin) must stay white.
        width=$(identify -format %w "$png")
        strip=$((width * 8 / 210))
        mean=$(convert "$png" -gravity East -crop "${strip}x+0+0" +repage -colorspace Gray \
            -format '%[fx:minima]' info:)
        if [ "$mean" != 1 ]; then
            echo "$png: something reaches the right margin (darkest $mean)" >&2
            fail=1
        fi
    done
done
[ "$fail" -eq 0 ] && echo "printed pages in $out"
exit "$fail"
