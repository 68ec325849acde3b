#!/usr/bin/env python3
"""In the wide guest, as root: loads the kernel's scsi_debug (2 hosts x 12
targets x 3 LUNs) beside a virtio-scsi disk at target 12, LUN 3, and a USB
stick. busview-report --all --json, as root and as nobody, must list
exactly the (host, channel, target, LUN) set lsscsi lists, with the serial
numbers sg_inq -p 0x80 gives (as nobody: where the kernel kept page 80h)
and the WWNs lsscsi gives. Debian 12's lsscsi 0.31 writes "0" for every
--wwn (and reads it from udev's links, which the guest has none of), so
its --long-unit stands in: the logical unit's name from the kernel's copy
of page 83h, an NAA first, which --wwn writes with "0x" before it. The
node exporter must serve busview.prom of all of them as the JSON says
(guest-prometheus.sh). Then the window offscreen and busview-report
without --all must show targets 0-7 at LUN 0 only, as on any bus.

Usage: guest-wide.py BUSVIEW-REPORT LAB-CHECKS"""
import glob, json, os, re, subprocess, sys, time

report, checks = sys.argv[1:3]
here = os.path.dirname(os.path.abspath(__file__))
failures = []
NOBODY = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
          "env", "HOME=/tmp", "XDG_RUNTIME_DIR=/tmp/runtime-nobody"]


def check(ok, what):
    if not ok:
        failures.append(what)
        print("  FAILED:", what, flush=True)


def sh(command):
    return subprocess.run(command, shell=True, capture_output=True, text=True).stdout


def address(text):
    return tuple(int(n) for n in text.strip("[]").split(":"))


started = time.monotonic()
sh("busybox insmod /run/lab-modules/scsi_debug.ko add_host=2 num_tgts=12 max_luns=3 dev_size_mb=4")
for _ in range(600):
    present = [d for d in glob.glob("/sys/bus/scsi/devices/*:*:*:*") if glob.glob(d + "/block/*")]
    if len(present) == 2 * 12 * 3 + 2:
        break
    time.sleep(0.1)
devices = {address(os.path.basename(d)): d for d in glob.glob("/sys/bus/scsi/devices/*:*:*:*")}
wwns = {}
for line in sh("lsscsi --long-unit").splitlines():
    name = line.split()[2]
    wwns[address(line.split()[0])] = None if name == "none" else "0x" + name
check(set(wwns) == set(devices), f"lsscsi lists {sorted(wwns)}")
serials = {}
for key, path in devices.items():
    sg = os.listdir(path + "/scsi_generic")[0]
    found = re.search(r"Unit serial number: (.*)", sh(f"sg_inq -p 0x80 /dev/{sg}"))
    serials[key] = found.group(1).strip() if found else None
# Adapters are the (host, channel) pairs with devices, and channel 0 of the
# other hosts, in ascending order.
pairs = {(h, c) for h, c, _, _ in devices}
hosts = {int(line.split()[0].strip("[]")) for line in sh("lsscsi -H").splitlines()}
pairs = sorted(pairs | {(h, 0) for h in hosts if all(p[0] != h for p in pairs)})

for who in ("root", "nobody"):
    run = subprocess.run((NOBODY if who == "nobody" else []) + [report, "--all", "--json"],
                         capture_output=True, timeout=300)
    check(run.returncode == 0, f"{who}: exit status {run.returncode}: {run.stderr[-500:]!r}")
    document = json.loads(run.stdout)
    listed = {}
    for adapter in document["adapters"]:
        host, channel = pairs[adapter["number"]]
        for target in adapter["targets"]:
            listed[(host, channel, target["id"], target["lun"])] = target["identification"]
    check(set(listed) == set(devices), f"{who}: --all lists {sorted(set(listed) ^ set(devices))} "
                                       "beyond or short of lsscsi's")
    for key, identity in listed.items():
        kept = os.path.exists(devices.get(key, "") + "/vpd_pg80")
        serial = serials.get(key) if who == "root" or kept else None
        check(identity["unit_serial_number"] == serial,
              f"{who} {key}: serial {identity['unit_serial_number']!r}, sg_inq {serial!r}")
        check(identity["wwn"] == wwns.get(key), f"{who} {key}: wwn {identity['wwn']}, lsscsi {wwns.get(key)}")

# busview.prom of all of them through the node exporter.
check(subprocess.run([f"{here}/guest-prometheus.sh", report]).returncode == 0, "busview.prom")

# The window, and busview-report without --all, keep to targets 0-7, LUN 0.
peers = "/tmp/lab-peers"
subprocess.run([f"{here}/collect-peers.sh", peers], check=True, env={**os.environ, "LAB_PEERS_WINDOW_ONLY": "1"})
sh(f"chmod -R a+rX {peers}; mkdir -p /tmp/runtime-nobody; chown 65534:65534 /tmp/runtime-nobody; chmod 700 /tmp/runtime-nobody")
env = {**os.environ, "LAB_PEERS": peers, "QT_QPA_PLATFORM": "offscreen"}
# (The kernel's INQUIRY copy of every device against sg_inq's needs the
# peers of every device; the other scenarios check it.)
for who, tests in (("root", "Bus.*"),
                   ("nobody", "Unprivileged.*:-Unprivileged.KernelsInquiryCopyIsSgInqsWithBlanksForNuls")):
    prefix = NOBODY if who == "nobody" else []
    check(subprocess.run(prefix + [checks, f"--gtest_filter={tests}"], env=env).returncode == 0,
          f"the window as {who}")
    check(subprocess.run(prefix + [f"{here}/report-vs-peers.py", report, peers], env=env).returncode == 0,
          f"busview-report without --all as {who}")

print(f"guest-wide: {len(devices)} devices, {len(failures)} failures in {time.monotonic() - started:.0f} s")
sys.exit(1 if failures else 0)
