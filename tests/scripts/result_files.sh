#!/bin/sh
# Checks the files an operator script exported: the application validates against our schema
# of the registry's format, and every number of the protocol's point records is in the
# printed page's tables.
#   result_files.sh WORKDIR PROTOCOL SCHEMA
set -u
dir=$1 protocol=$2 schema=$3
xmllint --noout --schema "$schema" "$dir/$protocol.arshin.xml" || exit 1
html=$dir/$protocol.html
[ -s "$html" ] || { echo "no printed page $html" >&2; exit 1; }
# The point records' two lines: nominal and tolerance, then both channels' numbers.
numbers=$(iconv -f CP1251 -t UTF-8 "$dir/$protocol" | tr -d '\r' | awk '
    /^[-0-9.e+]+ +[-0-9.e+]+%$/ { sub(/%$/, "", $2); print $1; print $2; point = 1; next }
    point { print $1; print $2; print $3; print $5; print $6; print $7; point = 0 }')
[ -n "$numbers" ] || { echo "no point records in $protocol" >&2; exit 1; }
n=0
for number in $numbers; do
    grep -qF "<td class=\"n\">$number</td>" "$html" || {
        echo "$number of the protocol is not in $html" >&2
        exit 1
    }
    n=$((n + 1))
done
echo "$protocol.arshin.xml valid; $n numbers of the protocol in the printed page"
