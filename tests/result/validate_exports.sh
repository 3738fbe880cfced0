#!/bin/sh
# Validates every exported application in DIR against our schema of the registry's format,
# and checks the schema itself refuses what the format forbids.
#   validate_exports.sh SCHEMA DIR MIN_FILES
set -u
schema=$1 dir=$2 least=$3
n=0
for xml in "$dir"/*.arshin.xml; do
    [ -e "$xml" ] || break
    xmllint --noout --schema "$schema" "$xml" || exit 1
    n=$((n + 1))
done
if [ "$n" -lt "$least" ]; then
    echo "only $n exported files in $dir, expected at least $least" >&2
    exit 1
fi
# A schema that takes anything proves nothing: each of these breaks one rule of the format.
sample=$(ls "$dir"/*.arshin.xml | head -n 1)
bad=$(mktemp -d) || exit 1
trap 'rm -rf "$bad"' EXIT
i=0
for edit in 's|<gost:signCipher>[^<]*<|<gost:signCipher>AB<|' \
            's|<gost:type>2<|<gost:type>3<|' \
            's|<gost:vrfDate>\([^<]*\)<|<gost:vrfDate>07.12.2026<|' \
            's|<gost:hymidity>[^<]*</gost:hymidity>||' \
            's|<gost:docTitle>|<gost:docTitle>xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx|' \
            's|<gost:signCipher>|<gost:signCipher>Ё|' \
            's|urn://fgis-arshin|urn://fgis-arshin-other|'; do
    i=$((i + 1))
    sed "$edit" "$sample" >"$bad/$i.xml"
    if cmp -s "$sample" "$bad/$i.xml"; then
        echo "edit $i changed nothing in $sample: $edit" >&2
        exit 1
    fi
    if xmllint --noout --schema "$schema" "$bad/$i.xml" 2>/dev/null; then
        echo "the schema takes a file the format forbids: $edit" >&2
        exit 1
    fi
done
echo "$n exported files valid; $i broken ones refused"
