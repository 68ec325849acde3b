#!/bin/bash
# Runs in the lab's guest, as root, on its overlay root (thrown away after the
# run): installs the Debian package, runs busview-report and the window from
# the installed paths on the guest's devices (and the Prometheus timer's
# service), removes the package again and checks that nothing it installed
# is left, then purges it.
# Usage: guest-package.sh PACKAGE BUILT-BUSVIEW-REPORT WINDOW-PROBE
set -u
deb=${1:?package}
built_report=${2:?busview-report of the build tree}
probe=${3:?window probe library}
work=/tmp/lab-package
mkdir -p "$work"

status=0
timings=()
took() { # STEP: the seconds since the last step
  timings+=("$1 $((SECONDS - ${last_step:-0}))s")
  last_step=$SECONDS
}
fail() {
  echo "guest-package: $*"
  status=1
}

[[ -s $deb ]] || { echo "guest-package: no package $deb (scripts/package makes it)"; exit 1; }
if [[ $(dpkg-query -W -f='${db:Status-Status}' busview 2>/dev/null) == installed ]]; then
  echo "guest-package: busview is installed on this machine already"
  exit 1
fi

# Every path in the package, and which of them were here before it (the
# directories it shares with others).
mapfile -t paths < <(dpkg-deb --fsys-tarfile "$deb" | tar -t | sed -e 's|^\./|/|' -e 's|/$||' | grep -v '^/\?$')
declare -A before=()
for path in "${paths[@]}"; do
  [[ -e $path || -L $path ]] && before[$path]=1
done

# The manual page index would be rebuilt on every install: slow in the guest.
rm -f /var/lib/man-db/auto-update
took preparing
dpkg -i "$deb" >"$work/install.log" 2>&1 || { cat "$work/install.log"; echo "guest-package: dpkg -i failed"; exit 1; }
took "dpkg -i"

version=$(dpkg-query -W -f='${Version}' busview)
said=$(/usr/bin/busview-report --version)
[[ $said == "busview-report $version" ]] || fail "busview-report --version says '$said', the package is $version"

# The layer and the event library come from the package's own directory,
# through the programs' run path, not from the system's library path.
for program in /usr/bin/busview /usr/bin/busview-report; do
  for library in libwnaspi32.so libbvwin32.so; do
    loaded=$(ldd "$program" | awk -v library="$library" '$1 == library { print $3 }')
    [[ -n $loaded && $(realpath "$loaded") =~ ^/usr/lib/[^/]+/busview/$library$ ]] ||
      fail "$program does not load $library from /usr/lib/<triplet>/busview: '$loaded'"
  done
done
ldconfig -p | grep -q libwnaspi32 && fail "libwnaspi32.so is on the system's library path"

# The installed busview-report: the same detailed display of every device as
# the build tree's.
/usr/bin/busview-report --detailed --encoding utf-8 >"$work/installed.txt" 2>"$work/installed.err" ||
  fail "/usr/bin/busview-report --detailed failed: $(cat "$work/installed.err")"
"$built_report" --detailed --encoding utf-8 >"$work/built.txt" 2>/dev/null
grep -q BVLAB "$work/installed.txt" || fail "/usr/bin/busview-report --detailed shows no lab device"
cmp -s "$work/installed.txt" "$work/built.txt" ||
  fail "/usr/bin/busview-report --detailed differs from the build tree's: $(diff "$work/built.txt" "$work/installed.txt" | head -20)"

took busview-report
# The package enables the Prometheus timer, and its service's command, run
# as the service runs it, writes busview.prom of the lab's devices where
# Debian's node exporter reads.
[[ -L /etc/systemd/system/timers.target.wants/busview-prometheus.timer ]] ||
  fail "busview-prometheus.timer is not enabled"
collected=/var/lib/prometheus/node-exporter
if [[ -d $collected ]] && command -v promtool >/dev/null; then
  read -ra command < <(sed -n 's/^ExecStart=//p' /usr/lib/systemd/system/busview-prometheus.service)
  "${command[@]}" 2>"$work/timer.err" || fail "the service's '${command[*]}' failed: $(cat "$work/timer.err")"
  promtool check metrics <"$collected/busview.prom" >"$work/promtool.out" 2>&1 ||
    fail "promtool refuses the service's busview.prom: $(cat "$work/promtool.out")"
  grep -q '^busview_device_info{.*vendor="BVLAB' "$collected/busview.prom" ||
    fail "the service's busview.prom names no lab device"
  rm -f "$collected/busview.prom"
  took "the timer's service"
else
  echo "guest-package: no node exporter or promtool here; the timer's service is not run"
fi
# The installed window, offscreen: after 表示 in simple mode its panes hold
# what busview-report prints.
/usr/bin/busview-report --encoding utf-8 >"$work/report.txt" 2>&1 || fail "/usr/bin/busview-report failed"
LD_PRELOAD=$probe BUSVIEW_PROBE_OUT=$work/window.txt QT_QPA_PLATFORM=offscreen \
  timeout 120 /usr/bin/busview >"$work/window.log" 2>&1
window_status=$?
if [[ $window_status -ne 0 ]]; then
  fail "the installed window ended with status $window_status: $(cat "$work/window.txt" "$work/window.log" 2>/dev/null | head -20)"
elif ! cmp -s "$work/window.txt" "$work/report.txt"; then
  fail "the installed window's panes differ from busview-report: $(diff "$work/report.txt" "$work/window.txt" | head -20)"
fi

took window
dpkg -r busview >"$work/remove.log" 2>&1 || { cat "$work/remove.log"; fail "dpkg -r failed"; }
took "dpkg -r"
# Its postrm keeps it as config-files until it is purged, which forgets the
# timer's enabled state too.
state=$(dpkg-query -W -f='${db:Status-Status}' busview 2>/dev/null)
[[ $state == config-files ]] || fail "busview is '$state' after dpkg -r"
for path in "${paths[@]}"; do
  if [[ -z ${before[$path]:-} && (-e $path || -L $path) ]]; then
    fail "left behind by dpkg -r: $path"
  fi
done
dpkg --purge busview >"$work/purge.log" 2>&1 || { cat "$work/purge.log"; fail "dpkg --purge failed"; }
state=$(dpkg-query -W -f='${db:Status-Status}' busview 2>/dev/null)
[[ $state == not-installed || -z $state ]] || fail "busview is '$state' after dpkg --purge"
[[ -L /etc/systemd/system/timers.target.wants/busview-prometheus.timer ]] &&
  fail "busview-prometheus.timer is still enabled after dpkg --purge"

took "checking for leftovers"
[[ $status -eq 0 ]] && echo "guest-package: installed, ran, removed and purged busview $version cleanly"
echo "guest-package: $(IFS=,; echo "${timings[*]}" | sed 's/,/, /g')"
exit $status
