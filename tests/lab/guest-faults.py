#!/usr/bin/env python3
"""In the faults guest, as root: loads the kernel's scsi_debug (one host,
targets 0-2) beside the healthy virtio-scsi disk and goes through the ROWS
one at a time, making the fault through sysfs. For each row
busview-report --json --detailed (ASan + UBSan) and the window offscreen,
as root and as nobody, must end with status 0 and no sanitizer finding,
within 5 s of their last output; the faulty devices' requests
must have the row's statuses and every other device what it had before.
The probe's command through the layer and sg3_utils' on the same device
must tell the same fault. Then LOAD seconds of 8 busview-report --detailed
--json at once, and the probe asking all the while, on a host where every
seventh command times out.

Usage: guest-faults.py BUSVIEW-REPORT LAB-CHECKS FAULT-PROBE [LOAD-SECONDS]"""
import glob, json, os, re, subprocess, sys, threading, time

report, checks, probe = sys.argv[1:4]
load_seconds = int(sys.argv[4]) if len(sys.argv) > 4 else 60
here = os.path.dirname(os.path.abspath(__file__))
DEBUG = "/sys/bus/pseudo/drivers/scsi_debug"
os.environ.update(ASAN_OPTIONS="detect_leaks=1:abort_on_error=0",
                  LSAN_OPTIONS=f"suppressions={here}/../lsan.supp",
                  UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1",
                  QT_QPA_PLATFORM="offscreen", LAB_PEERS="/tmp/lab-peers")
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("  FAILED:", what, flush=True)


def sh(command):
    return subprocess.run(command, shell=True, capture_output=True, text=True).stdout


def put(path, value):
    with open(path, "w") as f:
        f.write(f"{value}\n")


def timed(argv, nobody=False, env=None):
    """Runs argv: (exit status, stdout, stderr, seconds, seconds from its last output to its end)."""
    if nobody:
        argv = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                "env", "HOME=/tmp", "XDG_RUNTIME_DIR=/tmp/runtime-nobody"] + argv
    start = last = time.monotonic()
    process = subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                               env={**os.environ, **(env or {})})
    got = {1: [], 2: []}

    def pump(stream, key):
        nonlocal last
        for chunk in iter(lambda: stream.read1(65536), b""):
            got[key].append(chunk)
            last = time.monotonic()
    pumps = [threading.Thread(target=pump, args=(process.stdout, 1)),
             threading.Thread(target=pump, args=(process.stderr, 2))]
    for p in pumps:
        p.start()
    status = process.wait()
    ended = time.monotonic()
    for p in pumps:
        p.join()
    out, err = (b"".join(got[k]).decode("utf-8", "replace") for k in (1, 2))
    return status, out, err, ended - start, max(0.0, ended - last)


def sound_run(what, status, err, linger):
    check(status == 0, f"{what}: exit status {status}: {err[-2000:]}")
    check("Sanitizer" not in err and "runtime error" not in err, f"{what}: sanitizer: {err[-3000:]}")
    check(linger < 5, f"{what}: ended {linger:.1f} s after its last output")


# --- the devices -------------------------------------------------------------

sh("busybox insmod /run/lab-modules/scsi_debug.ko num_tgts=3 max_luns=1 dev_size_mb=16")
for _ in range(300):
    hosts = [h for h in glob.glob("/sys/class/scsi_host/host*") if sh(f"cat {h}/proc_name").strip() == "scsi_debug"]
    host = hosts[0].rsplit("host", 1)[1] if hosts else None
    if host and all(glob.glob(f"/sys/bus/scsi/devices/{host}:0:{t}:0/block/*") for t in range(3)):
        break
    time.sleep(0.1)
ADDRESS = {t: f"{host}:0:{t}:0" for t in range(3)}
DEVICE = {t: f"/sys/bus/scsi/devices/{ADDRESS[t]}" for t in range(3)}
SG = {t: "/dev/" + os.listdir(f"{DEVICE[t]}/scsi_generic")[0] for t in range(3)}
BLOCK = {t: "/dev/" + os.listdir(f"{DEVICE[t]}/block")[0] for t in range(3)}
print(f"guest-faults: scsi_debug is host {host}: {SG} {BLOCK}", flush=True)
subprocess.run([f"{here}/collect-peers.sh", "/tmp/lab-peers"], check=True)
sh("chmod -R a+rX /tmp/lab-peers; mkdir -p /tmp/runtime-nobody; chown 65534:65534 /tmp/runtime-nobody")
for who in ([], ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]):
    check(subprocess.run(who + [f"{here}/report-vs-peers.py", report, "/tmp/lab-peers"]).returncode == 0,
          "healthy: busview-report against the peers")


def facts(nobody):
    """busview-report's facts per (adapter identifier, target), its timings."""
    status, out, err, seconds, linger = timed([report, "--json", "--detailed"], nobody)
    sound_run(f"busview-report as {'nobody' if nobody else 'root'}", status, err, linger)
    try:
        document = json.loads(out)
    except ValueError:
        return {}, seconds, linger
    return ({(a["identifier"], t["id"]): t for a in document["adapters"] for t in a["targets"]},
            seconds, linger)


BEFORE = {False: facts(False)[0], True: facts(True)[0]}
SENSE_KEYS = {1: "Recovered Error", 2: "Not Ready", 3: "Medium Error", 5: "Illegal Request",
              6: "Unit Attention", 0xB: "Aborted Command"}
READ_BLOCK_0 = "28 00 00 00 00 00 00 00 01 00"
CAPACITY = "25 00 00 00 00 00 00 00 00 00"
INQUIRY = "12 00 00 00 24 00"


def offline(*targets):
    return "; ".join(f"echo offline > {DEVICE[t]}/state" for t in targets)


def recovery_begins():
    """Makes the error handler take on target 0: sd's reads time out in 2 s, twice."""
    put(f"{DEVICE[0]}/timeout", 2)
    put(f"{DEVICE[0]}/eh_timeout", 4)
    put(f"{DEBUG}/every_nth", 1)
    put(f"{DEBUG}/opts", 4)
    subprocess.Popen(["dd", f"if={BLOCK[0]}", "of=/dev/null", "bs=4k", "count=1", "iflag=direct"],
                     stderr=subprocess.DEVNULL)
    for _ in range(300):
        if sh(f"cat /sys/class/scsi_host/host{host}/state").strip() == "recovery":
            return
        time.sleep(0.1)
    check(False, "the host never went into error recovery")


def recovery_ends():
    """Waits for the error handler to give up on target 0 and set it offline."""
    for _ in range(1200):
        if sh(f"cat /sys/class/scsi_host/host{host}/state").strip() == "running":
            break
        time.sleep(0.1)
    put(f"{DEVICE[0]}/timeout", 30)
    put(f"{DEVICE[0]}/eh_timeout", 10)


# Each row: its name; what makes the fault (a shell command, or a function);
# the statuses busview-report gives the faulty targets' device type, disk
# information, INQUIRY and READ CAPACITY, as root and as nobody (None: the
# row does not run the reports and the window); the probe's command (target,
# CDB) and its "status hastat targstat" and sense key; the peer's command
# and what it says; and what ends the fault.
ROWS = [
    ("offline by hand", offline(1), {1: "1444"}, {1: "1444"},
     (1, INQUIRY, "04 11 00", None), f"sg_inq {SG[1]}", "not ready", ""),
    ("time-out, beside two offline", f"{offline(1, 2)}; echo 1 > {DEBUG}/every_nth; echo 4 > {DEBUG}/opts",
     {0: "1444", 1: "1444", 2: "1444"}, {0: "1111", 1: "1444", 2: "1444"},
     (0, INQUIRY, "04 0b 00", None), f"sg_raw -t 8 -r 36 {SG[0]} {INQUIRY}", "DID_TIME_OUT", ""),
    ("host in error recovery", recovery_begins, {t: "1444" for t in range(3)}, {t: "1444" for t in range(3)},
     (1, INQUIRY, "04 0e 00", None), f"cat /sys/class/scsi_host/host{host}/state", "recovery", recovery_ends),
    ("offline after error recovery", "", {0: "1444"}, {0: "1444"},
     (0, INQUIRY, "04 11 00", None), f"sg_turs {SG[0]}", "not ready", ""),
    ("unit attention, once", f"sg_reset -d {SG[0]}", {}, {},
     (0, CAPACITY, "01 00 00", None), f"sg_turs -n 2 {SG[0]}", "with 1 errors", ""),
    ("unit attention, twice", f"sg_reset -d {SG[0]}; echo 1 > {DEBUG}/virtual_gb; echo 0 > {DEBUG}/virtual_gb",
     {}, {}, (0, CAPACITY, "04 00 02", 6), f"sg_turs -n 3 {SG[0]}", "with 2 errors", ""),
    ("medium error", f"echo 2 > {DEBUG}/opts", {}, {},
     (0, "28 00 00 00 12 34 00 00 01 00", "04 00 02", 3),
     f"sg_raw -r 512 {SG[0]} 28 00 00 00 12 34 00 00 01 00", "Fixed format, current; Sense key: Medium Error", ""),
    ("medium error, descriptor sense", f"echo 1 > {DEBUG}/dsense; echo 2 > {DEBUG}/opts", None, None,
     (0, "28 00 00 00 12 34 00 00 01 00", "04 00 02", 3),
     f"sg_raw -r 512 {SG[0]} 28 00 00 00 12 34 00 00 01 00", "Descriptor format, current; Sense key: Medium Error",
     f"echo 0 > {DEBUG}/dsense"),
    ("recovered error", f"echo 1 > {DEBUG}/every_nth; echo 8 > {DEBUG}/opts", {}, {},
     (0, READ_BLOCK_0, "01 00 02", 1), f"sg_raw -o /tmp/block0 -r 512 {SG[0]} {READ_BLOCK_0}",
     "Sense key: Recovered Error", ""),
    ("not ready", f"sg_start --stop {SG[0]}", {}, {}, (0, READ_BLOCK_0, "04 00 02", 2),
     f"sg_raw -r 512 {SG[0]} {READ_BLOCK_0}", "Sense key: Not Ready", f"sg_start --start {SG[0]}"),
    ("illegal request", "", None, None, (0, "28 00 00 10 00 00 00 00 01 00", "04 00 02", 5),
     f"sg_raw -r 512 {SG[0]} 28 00 00 10 00 00 00 00 01 00", "Sense key: Illegal Request", ""),
    ("aborted command (transport problem)", f"echo 1 > {DEBUG}/every_nth; echo 16 > {DEBUG}/opts",
     {t: "1114" for t in range(3)}, {}, (0, CAPACITY, "04 00 02", 0xB), f"sg_raw -r 8 {SG[0]} {CAPACITY}",
     "Sense key: Aborted Command", ""),
    ("host busy, retried by the midlayer", f"echo 2 > {DEBUG}/every_nth; echo 0x8000 > {DEBUG}/opts", {}, {},
     (0, INQUIRY, "01 00 00", None), f"sg_inq {SG[0]}", "Vendor identification: Linux", ""),
    ("slow device, 2 s a command", f"echo 500 > {DEBUG}/delay", None, None,
     (0, CAPACITY, "01 00 00", None), f"sg_readcap {SG[0]}", "Last LBA=32767", ""),
    ("slower than the kernel's time-out", f"echo 2500 > {DEBUG}/delay", None, None,
     (0, CAPACITY, "04 0b 00", None), f"sg_raw -t 8 -r 8 {SG[0]} {CAPACITY}", "DID_TIME_OUT", ""),
]


def make(fault):
    if callable(fault):
        fault()
    elif fault:
        sh(fault)


def again(fault):
    """Makes again a fault that the first command meeting it uses up."""
    if isinstance(fault, str) and fault.startswith("sg_reset"):
        sh(fault)


def expected(statuses, key, nobody):
    """The facts busview-report should give (adapter, target) under the row."""
    before = BEFORE[nobody][key]
    answered = statuses.get(key[1], "1111") if key[0] == "scsi_debug" else "1111"
    want = dict(before, status=dict(zip(["device_type", "disk_info", "inquiry", "read_capacity"],
                                        (int(c, 16) for c in answered))))
    for field, c in zip(["int13", "inquiry", "capacity"], answered[1:]):
        if c != "1":
            want[field] = None
    if answered[2] != "1":  # without INQUIRY data no page is asked
        want["identification"] = {"supported_vpd_pages": [], "unit_serial_number": None,
                                  "designators": [], "wwn": None}
    return want


def run_row(name, fault, root, nobody, probe_row, peer, says, undo):
    print(f"== {name}", flush=True)
    started = time.monotonic()
    make(fault)
    for as_nobody, statuses in ((False, root), (True, nobody)):
        if statuses is None:
            continue
        again(fault)
        got, seconds, linger = facts(as_nobody)
        print(f"  busview-report as {'nobody' if as_nobody else 'root'}: {seconds:.1f} s, "
              f"ended {linger:.2f} s after its last output", flush=True)
        for key in BEFORE[as_nobody]:
            check(got.get(key) == expected(statuses, key, as_nobody),
                  f"{name}: {key} as {'nobody' if as_nobody else 'root'}: {json.dumps(got.get(key))}")
        faults = " ".join(f"{ADDRESS[t]}={s}" for t, s in statuses.items())
        status, out, err, seconds, linger = timed(
            [checks, "--gtest_filter=Faults.*", "--gtest_brief=1"], as_nobody, {"LAB_FAULTS": faults})
        print(f"  window as {'nobody' if as_nobody else 'root'}: {seconds:.1f} s, "
              f"ended {linger:.2f} s after its last output", flush=True)
        sound_run(f"{name}: the window", status, out + err, linger)
    target, cdb, statuses, key = probe_row
    again(fault)
    status, out, err, seconds, linger = timed([probe, "scsi_debug", str(target), "14"] + cdb.split())
    sound_run(f"{name}: the probe", status, err, linger)
    lines = dict(line.split(" ", 1) for line in out.splitlines() if " " in line)
    got = re.sub(r" ms \d+", "", lines.get("status", ""))
    check(got == "{} hastat {} targstat {}".format(*statuses.split()), f"{name}: probe gave {out}")
    sense = bytes.fromhex(lines.get("sense", ""))
    print(f"  probe: {lines.get('status')}; sense {sense.hex() or '-'}", flush=True)
    again(fault)
    said = sh(peer + " 2>&1")
    check(says in said, f"{name}: {peer} said {said!r}, not {says!r}")
    if key is not None:  # the same key, in the same format
        fixed = len(sense) > 0 and sense[0] & 0x7F in (0x70, 0x71)
        check(len(sense) > 2 and (sense[2] if fixed else sense[1]) & 0x0F == key, f"{name}: sense {sense.hex()}")
        check(f"{'Fixed' if fixed else 'Descriptor'} format, current; Sense key: {SENSE_KEYS[key]}" in said,
              f"{name}: the sense differs from what {peer} said")
    if "block0" in peer:
        check(bytes.fromhex(lines["data"]) == open("/tmp/block0", "rb").read(), f"{name}: the data differ")
    if "error recovery" not in name:  # the layer's own commands set off no error handler
        for t in range(3):
            state = sh(f"cat {DEVICE[t]}/state").strip()
            set_off = isinstance(fault, str) and f"{DEVICE[t]}/state" in fault
            check(state == ("offline" if set_off else "running"), f"{name}: target {t} is {state}")
    make(undo)
    for knob in ("opts", "every_nth", "delay"):
        put(f"{DEBUG}/{knob}", 1 if knob == "delay" else 0)
    if name != "host in error recovery":  # the next row asks the device it left offline
        for t in range(3):
            put(f"{DEVICE[t]}/state", "running")
            sh(f"sg_turs -n 3 {SG[t]}")  # the unit attentions that resets left
    print(f"  row: {time.monotonic() - started:.1f} s", flush=True)


for row in ROWS:
    run_row(*row)


# --- load --------------------------------------------------------------------

print(f"== load: 8 busview-report --detailed --json at once for {load_seconds} s, the probe asking all the while",
      flush=True)
put(f"{DEBUG}/every_nth", 7)
put(f"{DEBUG}/opts", 4)
hosts = sorted(int(h.rsplit("host", 1)[1]) for h in glob.glob("/sys/class/scsi_host/host*"))
# A small quarantine, so that memory freed and not reused shows as growth.
loader = subprocess.Popen([probe, "scsi_debug", "--load", str(load_seconds)],
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                          env={**os.environ, "ASAN_OPTIONS": "detect_leaks=1:quarantine_size_mb=4"})
deadline = time.monotonic() + load_seconds
runs = []


def keep_reporting():
    while time.monotonic() < deadline:
        # The document comes out at the end: its last output is the end of its work.
        status, _, err, _, linger = timed([report, "--detailed", "--json", "--adapter",
                                           str(hosts.index(int(host)))])
        runs.append((status, err, linger))


reporters = [threading.Thread(target=keep_reporting) for _ in range(8)]
for r in reporters:
    r.start()
for r in reporters:
    r.join()
put(f"{DEBUG}/opts", 0)
out, err = loader.communicate()
print(" ", out.strip(), f"; {len(runs)} reports, the longest ended "
      f"{max((l for _, _, l in runs), default=0):.2f} s after its last output", flush=True)
sound_run("the probe under load", loader.returncode, err, 0)
for status, err, linger in runs:
    sound_run("busview-report under load", status, err, linger)
for t in range(3):
    put(f"{DEVICE[t]}/state", "running")

print(f"guest-faults: {'passed' if not failures else f'{len(failures)} FAILED'}")
sys.exit(1 if failures else 0)
