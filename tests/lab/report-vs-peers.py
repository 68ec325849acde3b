#!/usr/bin/env python3
"""In a lab guest: busview-report --json against what lsscsi -g, sg_inq and
sg_readcap said about the same devices, and lsscsi, sg_vpd, sg_readcap and
sysfs about the NVMe namespaces (the files collect-peers.sh left). As root
every fact is compared; unprivileged, without the sg nodes, the devices,
their types and identification, and for NVMe namespaces (answered from
sysfs for anyone) every fact again.

Usage: report-vs-peers.py BUSVIEW_REPORT PEERS_DIR"""
import json
import os
import re
import subprocess
import sys

report, peers = sys.argv[1:3]
root = os.geteuid() == 0
LSSCSI_TYPES = {"disk": 0, "tape": 1, "printer": 2, "process": 3, "worm": 4, "cd/dvd": 5,
                "scanner": 6, "optical": 7, "mediumx": 8, "comms": 9, "no_lu": 31}
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def read(name):
    path = os.path.join(peers, name)
    return open(path, encoding="latin-1").read() if os.path.exists(path) else None


def sg_inq_bytes(text):
    # "sg_inq -H": offset, then up to 16 bytes in fixed columns, then ASCII.
    data = bytearray()
    for line in text.splitlines():
        if not re.match(r"^ [0-9a-f]+ ", line):
            continue
        for i in range(16):
            column = 8 + 3 * i if i < 8 else 33 + 3 * (i - 8)
            pair = line[column:column + 2]
            if len(pair) < 2 or pair[0] == " ":
                break
            data.append(int(pair, 16))
    return bytes(data[:36])


def sg_readcap(text):
    if text is None:
        return None
    lba = re.search(r"Last LBA=(\d+)", text)
    length = re.search(r"Logical block length=(\d+)", text)
    return (int(lba.group(1)), int(length.group(1))) if lba and length else None


def field(data, first, last):
    return data[first:last + 1].split(b"\0")[0].decode("latin-1").rstrip(" ")


def last_four_of(firmware):
    # sg3_utils takes the first four bytes of the firmware revision; the
    # translation reference, and the layer, its last four that are not blanks.
    return firmware.rstrip(" ")[-4:].ljust(4).encode("latin-1")


run = subprocess.run([report, "--json"], capture_output=True, timeout=300)
check(run.returncode == 0, f"busview-report --json: exit status {run.returncode}: {run.stderr!r}")
document = json.loads(run.stdout)
targets = [t for adapter in document["adapters"] for t in adapter["targets"]]

# (address, target, lsscsi type, the adapter's targets, INQUIRY data,
# whether every fact is compared). The SCSI adapters are the (host,
# channel) pairs with devices and channel 0 of the other hosts, ascending.
devices = []
addresses = [tuple(map(int, line.split()[0].strip("[]").split(":"))) for line in read("devices.txt").splitlines()]
pairs = {(h, c) for h, c, _, _ in addresses}
hosts = {int(line.split()[0].strip("[]")) for line in read("hosts.txt").splitlines() if not line.startswith("[N:")}
pairs = sorted(pairs | {(h, 0) for h in hosts if all(p[0] != h for p in pairs)})
for line, (host, channel, target, lun) in zip(read("devices.txt").splitlines(), addresses):
    words = line.split()
    if target <= 7 and lun == 0:
        address = words[0].strip("[]")
        among = document["adapters"][pairs.index((host, channel))]["targets"]
        devices.append((address, target, words[1], among, sg_inq_bytes(read(address + ".inq")), root))

# NVMe controllers are the last adapters, in their numbers' order.
controllers = sorted(int(line.split()[0]) for line in read("nvme-transports.txt").splitlines())
firmware = {}
for line in read("hosts.txt").splitlines():
    if line.startswith("[N:"):
        firmware[int(line.split()[0][3:-1])] = line.split()[-1]
first_nvme = len(document["adapters"]) - len(controllers)
for line in read("nvme.txt").splitlines():
    words = line.split()
    address = words[0].strip("[]")
    controller, nsid = int(address.split(":")[1]), int(address.split(":")[3])
    adapter = document["adapters"][first_nvme + controllers.index(controller)]
    inquiry = sg_inq_bytes(read(address + ".sinq"))
    inquiry = inquiry[:32] + last_four_of(firmware[controller])
    if nsid <= 8:
        devices.append((address, nsid - 1, words[1], adapter["targets"], inquiry, True))
check(len(targets) == len(devices), f"{len(targets)} targets answer, lsscsi lists {len(devices)}")

for address, target, type_name, among, inquiry, every_fact in devices:
    vendor, product = field(inquiry, 8, 15), field(inquiry, 16, 31)
    found = [t for t in among if t["id"] == target and
             t["inquiry"] and t["inquiry"]["vendor"] == vendor and t["inquiry"]["product"] == product]
    check(len(found) == 1, f"{address}: {vendor} {product} found {len(found)} times")
    if len(found) != 1:
        continue
    fact = found[0]
    check(fact["device_type"] == LSSCSI_TYPES.get(type_name), f"{address}: type {fact['device_type']}")
    check(fact["inquiry"]["revision"] == field(inquiry, 32, 35), f"{address}: revision")
    if not every_fact:
        continue
    check(bytes.fromhex(fact["inquiry"]["raw"]) == inquiry, f"{address}: INQUIRY bytes differ from sg_inq's")
    capacity = sg_readcap(read(address + ".cap16")) or sg_readcap(read(address + ".cap"))
    got = fact["capacity"] and (fact["capacity"]["last_lba"], fact["capacity"]["block_length"])
    check(got == capacity, f"{address}: capacity {got}, sg_readcap {capacity}")

for failure in failures:
    print("report-vs-peers FAILED:", failure)
print(f"report-vs-peers ({'root' if root else 'unprivileged'}): {len(devices)} devices, "
      f"{len(failures)} differences")
sys.exit(1 if failures else 0)
