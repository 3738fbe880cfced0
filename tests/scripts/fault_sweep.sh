#!/bin/sh
# Fault sweep: runs p_trl4 on an operator script once to record its driver calls, then once per
# recorded call with a fault injected at exactly that call, and checks every run.
#   fault_sweep.sh EXE SCRIPT WORKDIR BENCH [options]
# TRL4_EMULATOR, when set, runs EXE (wine for the Windows program).
# BENCH is a bench file without a faults key. Options:
#   --status HEX --text TEXT  the injected status and the driver's text for it
#   --calls REGEX             sweep only the calls whose name matches (default: every driver
#                             call but ksptrl4_error_message)
#   --ignored NAME            a call whose status the program ignores: only a clean end is checked
#   --boxed NAME              a call whose failure shows a message box and lets the program go on
#   --cleanup NAME            a call the program may still make after a failure (a stop, a close)
# Every run must end with exit status 0 and no sanitizer report. After a swept call fails, the
# program asks for the driver's text at once, makes no other call (but cleanup ones) until the
# script's next `dump`, and that dump shows the text on MP.ERROR_MESSAGE in red. The program's
# standard output and the driver trace share one file, so a dump marks where an action's calls end.
set -u
exe=$1 script=$2 workdir=$3 bench=$4
shift 4
status=0xBFFF003E text="Ошибка ввода-вывода" calls="" ignored=" " boxed=" " cleanup=" "
while [ $# -gt 0 ]; do
    case $1 in
    --status) status=$2; shift 2 ;;
    --text) text=$2; shift 2 ;;
    --calls) calls=$2; shift 2 ;;
    --ignored) ignored="$ignored$2 "; shift 2 ;;
    --boxed) boxed="$boxed$2 "; shift 2 ;;
    --cleanup) cleanup="$cleanup$2 "; shift 2 ;;
    *) echo "unknown option $1" >&2; exit 1 ;;
    esac
done
rm -rf "$workdir" && mkdir -p "$workdir" || exit 1

# run DIR BENCHFILE: the log (trace and standard output) in DIR/log.txt; prints the exit status.
run() {
    mkdir -p "$1/state"
    (cd "$1" && TRL4_BENCH=$2 TRL4_STATE_DIR=$1/state TRL4_DRIVER_TRACE=$1/log.txt \
        ${TRL4_EMULATOR:-} "$exe" --view headless --script "$script" >>"$1/log.txt" 2>"$1/stderr.txt")
    echo $?
}

fail=0
complain() {
    echo "FAIL ($1): $2" >&2
    fail=1
}

code=$(run "$workdir/record" "$bench")
[ "$code" -eq 0 ] || { cat "$workdir/record/stderr.txt" >&2; complain record "exit status $code"; exit 1; }
# NAME N for each driver call: the Nth call of that name.
awk -v only="$calls" '
    /^(ksptrl4|kspbase)_[A-Za-z0-9_]+\(/ {
        name = substr($0, 1, index($0, "(") - 1)
        n[name]++
        if (name == "ksptrl4_error_message" || (only != "" && name !~ only)) next
        print name, n[name]
    }' "$workdir/record/log.txt" >"$workdir/calls.txt"
[ -s "$workdir/calls.txt" ] || complain record "no driver call to sweep"
decimal=$(awk -v h="$status" 'BEGIN { v = 0; for (i = 3; i <= length(h); i++) v = v * 16 + index("0123456789ABCDEF", toupper(substr(h, i, 1))) - 1; if (v >= 2147483648) v -= 4294967296; printf "%d", v }')
upper=$(printf '%s' "$status" | sed 's/^0[xX]//' | tr a-f A-F)

while read -r name nth; do
    dir=$workdir/$name-$nth
    mkdir -p "$dir"
    { cat "$bench"; printf 'faults:\n  - {call: %s, status: %s, on-call: %s}\n' "$name" "$status" "$nth"; } >"$dir/bench.yaml"
    code=$(run "$dir" "$dir/bench.yaml")
    [ "$code" -eq 0 ] || complain "$name $nth" "exit status $code"
    if grep -Eq 'Sanitizer|runtime error:' "$dir/stderr.txt"; then complain "$name $nth" "sanitizer report"; fi
    case $ignored in *" $name "*) continue ;; esac
    case $boxed in *" $name "*) kind=boxed ;; *) kind=line ;; esac
    why=$(awk -v name="$name" -v nth="$nth" -v st="0x$upper" -v dec="$decimal" -v kind="$kind" \
              -v cleanup="$cleanup" -v text="$text" '
        function driver(l) { return l ~ /^(ksptrl4|kspbase)_[A-Za-z0-9_]+\(/ }
        function bad(why) { print why; done = 1; exit }
        function callname(l) { return substr(l, 1, index(l, "(") - 1) }
        state == 0 && driver($0) && callname($0) == name && ++seen == nth {
            if (index($0, "-> " st) == 0) bad("the call did not get the fault")
            state = 1; next
        }
        state == 1 && kind == "boxed" { if (/^message /) { boxed = 1; exit } next }
        state == 1 && driver($0) {
            if (!asked) {
                if (index($0, "ksptrl4_error_message(0, " dec ")") != 1) bad("the failure was not reported: " $0)
                asked = 1; next
            }
            if (index(cleanup, " " callname($0) " ") == 0) bad("a later call was made: " $0)
            next
        }
        state == 1 && /^panel MP / { state = 2; next }
        state == 2 && /^MP\.ERROR_MESSAGE / {
            want = "MP.ERROR_MESSAGE string = \"" text "\" text-color 0xFF0000 "
            if (index($0, want) != 1) bad("the status line shows " $0)
            done = 1; exit
        }
        END {
            if (done) exit
            if (state == 0) print "the call was not made"
            else if (kind == "boxed" && !boxed) print "no message box"
            else if (kind == "line" && !asked) print "the failure was not reported"
        }' "$dir/log.txt")
    [ -z "$why" ] || complain "$name $nth" "$why"
done <"$workdir/calls.txt"
echo "$(wc -l <"$workdir/calls.txt") faulted runs" >&2
exit $fail
