#!/bin/bash
# Runs in the lab's guest, as root: gathers what the peers say about the
# devices, then runs the window's checks for the scenario and compares
# busview-report --json with the peers, as root and, for two-adapters, once
# more as nobody (the sg nodes stay root-only). Given a Debian package, then
# installs, runs and removes it (guest-package.sh).
# Usage: guest-checks.sh SCENARIO LAB_CHECKS-PROGRAM [PACKAGE WINDOW-PROBE]
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
scenario=${1:?scenario}
checks=${2:?program}
report=$(cd "$(dirname "$checks")/../.." && pwd)/src/cli/busview-report

peers=/tmp/lab-peers
"$here/collect-peers.sh" "$peers" || { echo "guest-checks: the peers failed"; exit 1; }
chmod -R a+rX "$peers"
export LAB_PEERS=$peers QT_QPA_PLATFORM=offscreen

run_as_nobody() {
  local runtime=/tmp/runtime-nobody
  mkdir -p "$runtime" && chown 65534:65534 "$runtime" && chmod 700 "$runtime"
  setpriv --reuid=65534 --regid=65534 --clear-groups \
    env HOME=/tmp XDG_RUNTIME_DIR="$runtime" "$@"
}

status=0
"$here/report-vs-peers.py" "$report" "$peers" || status=1
[[ $scenario == two-adapters ]] && { run_as_nobody "$here/report-vs-peers.py" "$report" "$peers" || status=1; }
case $scenario in
  two-adapters)
    "$checks" --gtest_filter='Bus.*:TwoAdapters.*' || status=1
    run_as_nobody "$checks" --gtest_filter='Unprivileged.*' || status=1
    ;;
  big-disk) "$checks" --gtest_filter='Bus.*:BigDisk.*' || status=1 ;;
  raid) "$checks" --gtest_filter='Bus.*:Raid.*' || status=1 ;;
  *) echo "guest-checks: no checks for $scenario"; status=1 ;;
esac
if [[ $# -ge 4 ]]; then
  "$here/guest-package.sh" "$3" "$report" "$4" || status=1
fi
exit $status
