#!/bin/bash
# Times busview-report on this machine over a simulated bus of 8 adapters
# with a disk at each of the 8 targets (64 devices): the simple display, the
# detailed one and the JSON document, start to exit. Not a test: the
# figures depend on the machine. Uses hyperfine when it is there, else a
# loop that prints the median.
#
#   report-benchmark.sh BUILD_DIR [ROUNDS]
set -euo pipefail
report=$(cd "${1:?usage: report-benchmark.sh BUILD_DIR [ROUNDS]}" && pwd)/src/cli/busview-report
rounds=${2:-20}
[[ -x $report ]] || { echo "report-benchmark: $report is not built" >&2; exit 1; }

bus=$(mktemp --suffix=.json)
trap 'rm -f "$bus"' EXIT
{
  echo '{ "adapters": ['
  for a in 0 1 2 3 4 5 6 7; do
    echo "  { \"identifier\": \"HA$a\", \"targets\": ["
    for t in 0 1 2 3 4 5 6 7; do
      echo "    { \"id\": $t, \"inquiry\": { \"type\": 0, \"version\": 2, \"format\": 2, \"flags\": \"0x32\","
      echo "      \"vendor\": \"VENDOR$a$t\", \"product\": \"DISK $a:$t\", \"revision\": \"0100\" },"
      echo "      \"capacity\": { \"last_lba\": 4110479, \"block_length\": 512 },"
      echo "      \"disk\": { \"flags\": 2, \"drive\": 128, \"heads\": 64, \"sectors\": 32 } }$([[ $t != 7 ]] && echo ,)"
    done
    echo "  ] }$([[ $a != 7 ]] && echo ,)"
  done
  echo '] }'
} >"$bus"

commands=("$report --bus $bus" "$report --bus $bus --detailed" "$report --bus $bus --json")
if command -v hyperfine >/dev/null; then
  hyperfine -N --warmup 3 --runs "$rounds" "${commands[@]}"
  exit
fi
for command in "${commands[@]}"; do
  times=()
  for ((i = 0; i < rounds; i++)); do
    start=$(date +%s%N)
    $command >/dev/null
    times+=($((($(date +%s%N) - start) / 1000)))
  done
  echo "$command: median $(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((rounds + 1) / 2))p") us"
done
