#!/bin/sh
# Runs p_trl4 on an operator script and checks how it ended.
#   run_op.sh EXE SCRIPT WORKDIR EXPECTED_EXIT [options] [-- extra p_trl4 arguments]
# TRL4_EMULATOR, when set, runs EXE (wine for the Windows program).
# Options:
#   --bench FILE        bench file for TRL4_BENCH ("" = the built-in bench)
#   --view VIEW         headless (default), qt (offscreen) or win32
#   --stdout REGEX      standard output must match this extended regular expression
#   --stdout-not REGEX  standard output must not match it
#   --no-stdout         standard output must be empty
#   --trace TEXT        the driver trace must hold exactly these lines (\n between them)
#   --trace-file FILE   the driver trace must be exactly the content of FILE
#   --mathlib SRC MODE  put SRC into WORKDIR as the math library file NAME first, as is
#                       (copy), with one byte changed (corrupt), or replaced by a file
#                       without a checksum marker (nomarker)
#   --mathlib-name NAME the math library's file name (before --mathlib); the script's
#                       "libksptrl4_math.so" is read as NAME
#   --uir TEXT          write TEXT as p_trl4.uir in WORKDIR (a broken resource)
#   --shots DIR         folder for the script's pictures (created), handed to p_trl4
#   --locale NAME       LANG=LC_ALL=NAME; missing, it skips (77) or, required, fails
#   --meters TEXT       write TEXT as the user's meter assignment before the run
#   --results FILE      copy FILE as the user's result entries before the run
#   --file NAME REGEX   the file NAME the run left in WORKDIR must match REGEX
#   --file-not NAME REGEX  it must not (a missing file matches nothing)
#   --script-name NAME  run a copy of SCRIPT named NAME in WORKDIR
set -u
exe=$1 script=$2 workdir=$3 expected=$4
shift 4
bench="" view=headless libname=libksptrl4_math.so
stdout_res="" stdout_not="" no_stdout=0 shots="" trace="" trace_file="" script_name=""
file_res="" file_not=""
rm -rf "$workdir" && mkdir -p "$workdir/state" || exit 1
while [ $# -gt 0 ]; do
    case $1 in
    --bench) bench=$2; shift 2 ;;
    --view) view=$2; shift 2 ;;
    --stdout) stdout_res="$stdout_res
$2"; shift 2 ;;
    --stdout-not) stdout_not="$stdout_not
$2"; shift 2 ;;
    --no-stdout) no_stdout=1; shift ;;
    --trace) trace=$2; shift 2 ;;
    --trace-file) trace_file=$2; shift 2 ;;
    --mathlib-name) libname=$2; shift 2 ;;
    --mathlib)
        src=$2 mode=$3
        target="$workdir/$libname"
        case $mode in
        copy) cp "$src" "$target" ;;
        corrupt)
            cp "$src" "$target"
            # Change the byte at offset 100 (ELF headers, far from the marker).
            old=$(od -An -tu1 -j100 -N1 "$target" | tr -d ' ')
            new=$(( (old + 1) % 256 ))
            printf "\\$(printf %03o "$new")" | dd of="$target" bs=1 seek=100 conv=notrunc 2>/dev/null
            ;;
        nomarker) printf 'a library file without any checksum marker\n' >"$target" ;;
        *) echo "unknown mathlib mode $mode" >&2; exit 1 ;;
        esac
        shift 3 ;;
    --shots) shots=$2; shift 2 ;;
    --locale)
        if [ -n "$(LC_ALL=$2 locale 2>&1 >/dev/null)" ]; then
            echo "no locale $2 on this machine" >&2
            [ -n "${TRL4_REQUIRE_COMMA_LOCALE:-}" ] && exit 1 || exit 77
        fi
        LANG=$2 LC_ALL=$2
        export LANG LC_ALL
        shift 2 ;;
    --uir) printf '%s\n' "$2" >"$workdir/p_trl4.uir"; shift 2 ;;
    --script-name) script_name=$2; shift 2 ;;
    --meters) mkdir -p "$workdir/config" && printf "$2\n" >"$workdir/config/meters.yaml"; shift 2 ;;
    --results) mkdir -p "$workdir/config" && cp "$2" "$workdir/config/results.yaml" || exit 1; shift 2 ;;
    --file) file_res="$file_res
$2	$3"; shift 3 ;;
    --file-not) file_not="$file_not
$2	$3"; shift 3 ;;
    --) shift; break ;;
    *) echo "unknown option $1" >&2; exit 1 ;;
    esac
done

# The scripts name the Linux file; a platform's own name takes its place.
if [ "$libname" != libksptrl4_math.so ]; then
    sed "s/libksptrl4_math\.so/$libname/g" "$script" >"$workdir/script.op" || exit 1
    script=$workdir/script.op
fi
if [ -n "$script_name" ]; then
    cp "$script" "$workdir/$script_name" || exit 1
    script=$workdir/$script_name
fi
cd "$workdir" || exit 1
if [ "$view" = qt ]; then
    QT_QPA_PLATFORM=offscreen
    export QT_QPA_PLATFORM
fi
if [ -n "$bench" ]; then
    TRL4_BENCH=$bench
    export TRL4_BENCH
else
    unset TRL4_BENCH
fi
TRL4_STATE_DIR=$workdir/state
TRL4_DRIVER_TRACE=$workdir/trace.txt
# The user's settings (the meter assignment) are the test's own (wine sets %APPDATA% itself).
TRL4_SETTINGS_DIR=$workdir/config
export TRL4_STATE_DIR TRL4_DRIVER_TRACE TRL4_SETTINGS_DIR
if [ -n "$shots" ]; then
    mkdir -p "$shots" || exit 1
    set -- --shots "$shots" "$@"
fi
# shellcheck disable=SC2086
${TRL4_EMULATOR:-} "$exe" --view "$view" --script "$script" "$@" >stdout.txt 2>stderr.txt
status=$?
cat stdout.txt
cat stderr.txt >&2
fail=0
if [ "$status" -ne "$expected" ]; then
    echo "FAIL: exit status $status, expected $expected" >&2
    fail=1
fi
if [ "$no_stdout" -eq 1 ] && [ -s stdout.txt ]; then
    echo "FAIL: expected no output on standard output" >&2
    fail=1
fi
printf '%s\n' "$stdout_res" | while IFS= read -r re; do
    [ -z "$re" ] && continue
    if ! grep -Eq -- "$re" stdout.txt; then
        echo "FAIL: standard output does not match: $re" >&2
        echo x >>fail.flag
    fi
done
printf '%s\n' "$stdout_not" | while IFS= read -r re; do
    [ -z "$re" ] && continue
    if grep -Eq -- "$re" stdout.txt; then
        echo "FAIL: standard output matches what it must not: $re" >&2
        echo x >>fail.flag
    fi
done
if [ -n "$trace" ]; then
    printf "$trace\n" >expected_trace.txt
    touch trace.txt
    if ! cmp -s expected_trace.txt trace.txt; then
        echo "FAIL: driver calls differ from what was expected:" >&2
        diff expected_trace.txt trace.txt >&2
        fail=1
    fi
fi
if [ -n "$trace_file" ]; then
    touch trace.txt
    if ! cmp -s "$trace_file" trace.txt; then
        echo "FAIL: driver and VISA calls differ from $trace_file:" >&2
        diff "$trace_file" trace.txt >&2
        fail=1
    fi
fi
printf '%s\n' "$file_res" | while IFS='	' read -r name re; do
    [ -z "$name" ] && continue
    if ! grep -Eq -- "$re" "$name" 2>/dev/null; then
        echo "FAIL: $name does not match: $re" >&2
        echo x >>fail.flag
    fi
done
printf '%s\n' "$file_not" | while IFS='	' read -r name re; do
    [ -z "$name" ] && continue
    if grep -Eq -- "$re" "$name" 2>/dev/null; then
        echo "FAIL: $name matches what it must not: $re" >&2
        echo x >>fail.flag
    fi
done
[ -f fail.flag ] && fail=1
exit $fail
