# Sourced by the lab's benchmarks.
# Milliseconds of the median of $rounds runs of command $1, after one run
# to warm the caches.
median_ms() {
  "$1"
  local times=() i start
  for ((i = 0; i < rounds; i++)); do
    start=$(date +%s%N)
    "$1"
    times+=($((($(date +%s%N) - start) / 1000000)))
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((rounds + 1) / 2))p"
}
