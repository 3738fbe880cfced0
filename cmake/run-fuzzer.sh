#!/bin/sh
# run-fuzzer.sh FUZZER WORKDIR SEEDDIR SECONDS: a short libFuzzer run from the seeds.
set -e
fuzzer=$1 work=$2 seeds=$3 seconds=${4:-15}
mkdir -p "$work"
exec "$fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
     -print_final_stats=1 "$work" "$seeds"
