#!/usr/bin/env python3
"""busview-report from outside: exit statuses and messages, the encodings,
and the JSON document against its schema and against the bus files' facts.

Usage: cli_test.py BUSVIEW_REPORT SCHEMA SOURCE_DIR"""
import json
import os
import pty
import select
import subprocess
import sys
import tempfile

import jsonschema

REPORT, SCHEMA, SOURCE = sys.argv[1:4]
UI_BUSES = os.path.join(SOURCE, "tests/ui/buses")
failures = []


def bus(name):
    return os.path.join(SOURCE, "examples", name) if name in ("workstation.json", "single-disk.json") \
        else os.path.join(UI_BUSES, name)


def run(args, env_extra=None):
    env = {k: v for k, v in os.environ.items() if not k.startswith("LC_") and k != "LANG"}
    env.update({"LC_ALL": "C.UTF-8"})
    env.update(env_extra or {})
    return subprocess.run([REPORT] + args, capture_output=True, env=env, timeout=60)


def check(condition, what):
    if not condition:
        failures.append(what)


# --- exit statuses and what goes to standard error -------------------------
NOT_INSTALLED = "ASPI for WIN32が組み込まれていません"
INQUIRY_FAILED = "ホストアダプタ情報の取得に失敗しました"
STATUS_CASES = [
    # arguments, exit status, standard error lines (UTF-8)
    (["--bus", bus("one-adapter.json")], 0, []),
    (["--bus", bus("first-inquiry-aborted.json")], 0, [INQUIRY_FAILED]),
    (["--bus", bus("unusable.json")], 1, [NOT_INSTALLED, INQUIRY_FAILED]),
    (["--json", "--bus", bus("unusable.json")], 1, [NOT_INSTALLED, INQUIRY_FAILED]),
    (["--frob"], 2, ["busview-report: unknown option '--frob'"]),
    (["stray"], 2, ["busview-report: unexpected argument 'stray'"]),
    (["--adapter"], 2, ["busview-report: option '--adapter' needs a value"]),
    (["--json=yes"], 2, ["busview-report: option '--json' takes no value"]),
    (["--encoding", "latin1"], 2, ["busview-report: unknown encoding 'latin1' (utf-8 or cp932)"]),
    (["--target", "1"], 2, ["busview-report: option '--target' needs '--adapter'"]),
    (["--adapter", "x1"], 2, ["'x' は整数ではありません."]),
    (["--adapter", "99999999999"], 2, ["'99999999999' は整数ではありません."]),
    (["--adapter=0", "--target", "3a"], 2, ["'3a' は整数ではありません."]),
    (["--adapter", "0", "--target", ""], 2, ["'' は整数ではありません."]),
    (["--adapter", ""], 2, ["ホストアダプタをセレクトしてください"]),
    # The first text refused is the one named, as the window would.
    (["--adapter", "x", "--target", "y"], 2, ["'x' は整数ではありません."]),
    (["--target", "y", "--adapter", "x"], 2, ["'y' は整数ではありません."]),
    # An empty file name would leave the layer on the machine's own buses.
    (["--bus", ""], 2, ["busview-report: option '--bus' needs a file name"]),
    (["--bus="], 2, ["busview-report: option '--bus' needs a file name"]),
]
for args, status, errors in STATUS_CASES:
    result = run(args)
    check(result.returncode == status, f"{args}: exit status {result.returncode}, not {status}")
    got = result.stderr.decode("utf-8", "replace").splitlines()
    # A bus file the layer cannot read adds the layer's own line first.
    check(got == errors, f"{args}: standard error {got}, not {errors}")

help_text = run(["--help"])
check(help_text.returncode == 0 and help_text.stdout.startswith(b"Usage: busview-report [--detailed]"),
      "--help prints the usage")
missing_bus = run(["--bus", "/nonexistent/bus.json"])
check(missing_bus.returncode == 1, f"a bus file that is not there: exit status {missing_bus.returncode}")
check(b"/nonexistent/bus.json" in missing_bus.stderr, "a bus file that is not there is named")

# Output that cannot be written is an error, whatever was asked.
for args in (["--bus", bus("two-adapters.json")], ["--json", "--bus", bus("two-adapters.json")],
             ["--help"], ["--version"]):
    with open("/dev/full", "wb") as full:
        result = subprocess.run([REPORT] + args, stdout=full, stderr=subprocess.PIPE,
                                env=dict(os.environ, LC_ALL="C.UTF-8"), timeout=60)
    check(result.returncode == 1 and
          result.stderr == b"busview-report: standard output: No space left on device\n",
          f"{args} > /dev/full: exit status {result.returncode}, {result.stderr!r}")

# --- encodings ----------------------------------------------------------------
utf8 = run(["--bus", bus("two-adapters.json"), "--encoding", "utf-8"]).stdout
cp932 = run(["--bus", bus("two-adapters.json"), "--encoding", "cp932"]).stdout
check(cp932.decode("cp932") == utf8.decode("utf-8"), "cp932 and utf-8 outputs say the same")
for name, expected in (("UTF-8", utf8), ("utf8", utf8), ("UTF8", utf8), ("CP932", cp932)):
    named = run(["--bus", bus("two-adapters.json"), "--encoding", name])
    check(named.returncode == 0 and named.stdout == expected, f"--encoding {name}")
check("内蔵SCSI".encode("cp932") in cp932, "cp932 output holds code page 932 bytes")
refused = run(["--adapter", "x", "--encoding", "cp932"])
check(refused.stderr == "'x' は整数ではありません.\n".encode("cp932"), "messages follow --encoding")
odd = run(["--bus", bus("odd-texts.json"), "--encoding", "utf-8"]).stdout.decode("utf-8")
check("= A\ufffdB\ufffdC\ufffdD\ufffd\n" in odd, "bytes that are no character and control bytes become U+FFFD")
odd_cp932 = run(["--bus", bus("odd-texts.json"), "--encoding", "cp932"]).stdout
check(b"= A\x80B\xffC\xa5D\x81\n" in odd_cp932, "cp932 keeps bytes, but a control byte shows as A5h")
check(b"= AB\n" in odd_cp932, "a line ends at its first NUL byte")

# Progress only on a terminal, and never in the output.
master, terminal = pty.openpty()
env = dict(os.environ, LC_ALL="C.UTF-8")
shown = subprocess.run([REPORT, "--bus", bus("two-adapters.json"), "--encoding", "utf-8"],
                       stdout=subprocess.PIPE, stderr=terminal, env=env, timeout=60)
os.close(terminal)
progress = os.read(master, 65536) if select.select([master], [], [], 5)[0] else b""
os.close(master)
check(shown.stdout == utf8, "progress leaves the output alone")
check(b"HostNo 1,ID 7 ..." in progress and progress.endswith(b"\r\x1b[K"),
      f"a terminal sees the progress, erased at the end: {progress[-40:]!r}")

with tempfile.TemporaryDirectory() as locales:
    made = subprocess.run(["localedef", "-c", "-f", "SHIFT_JIS", "-i", "ja_JP",
                           os.path.join(locales, "ja_JP.SJIS")], capture_output=True)
    check(made.returncode in (0, 1), f"localedef ja_JP.SJIS: {made.stderr!r}")
    for env, expected in [({"LOCPATH": locales, "LC_ALL": "ja_JP.SJIS"}, cp932),
                          ({"LC_ALL": "C.UTF-8"}, utf8), ({"LC_ALL": "C"}, utf8)]:
        out = run(["--bus", bus("two-adapters.json")], env).stdout
        check(out == expected, f"the default encoding under {env.get('LC_ALL')}")

# --- JSON: the schema and the bus file's facts --------------------------------
with open(SCHEMA, encoding="utf-8") as f:
    validator = jsonschema.Draft7Validator(json.load(f))


def report_json(args):
    result = run(["--json"] + args)
    document = json.loads(result.stdout.decode("utf-8"))
    for error in validator.iter_errors(document):
        failures.append(f"{args}: schema: {error.message} at {list(error.absolute_path)}")
    return document


def number(value):
    return int(value, 0) if isinstance(value, str) else value


def check_target(where, fact, bus_target):
    inquiry = bus_target.get("inquiry", {})
    check(fact["device_type"] == bus_target.get("type", inquiry.get("type")), f"{where}: device type")
    got = fact["inquiry"]
    for key, field, end in (("vendor", "vendor", 16), ("product", "product", 32), ("revision", "revision", 36)):
        if isinstance(inquiry.get(key), str) and inquiry.get("length", 36) >= end:
            check(got[field] == inquiry[key].rstrip(" "), f"{where}: {field} {got[field]!r}")
    check(got["peripheral_device_type"] == inquiry.get("type", 0), f"{where}: peripheral device type")
    check(got["removable"] == inquiry.get("removable", False), f"{where}: removable")
    check(bytes.fromhex(got["raw"])[0] & 0x1F == got["peripheral_device_type"], f"{where}: raw byte 0")
    capacity = bus_target.get("capacity")
    if capacity is None:
        check(fact["capacity"] is None and fact["status"]["read_capacity"] != 1,
              f"{where}: a failed READ CAPACITY is its status, not values")
    else:
        blocks = capacity["last_lba"] + 1
        length = capacity.get("block_length", 512)
        check(fact["capacity"]["last_lba"] == capacity["last_lba"], f"{where}: last LBA")
        check(fact["capacity"]["bytes"] == blocks * length, f"{where}: bytes")
        megabytes = fact["capacity"]["megabytes"]
        check(abs(megabytes - blocks * length / 2**20) <= 0.005 and round(megabytes, 2) == megabytes,
              f"{where}: megabytes {megabytes}, not rounded to two decimals")
    disk = bus_target.get("disk")
    if disk is None or disk.get("flags", 0) & 3 == 0:
        check(fact["int13"] is None, f"{where}: no INT 13h unit")
    else:
        flags = disk["flags"] & 3
        want = {"drive": None if flags == 3 else number(disk.get("drive", 0)), "os_managed": flags == 1,
                "heads": disk.get("heads", 0), "sectors": disk.get("sectors", 0)}
        check(fact["int13"] == want, f"{where}: int13 {fact['int13']} not {want}")


for name in ("one-adapter.json", "two-adapters.json", "selection.json", "workstation.json"):
    with open(bus(name), encoding="utf-8") as f:
        described = json.load(f)["adapters"]
    document = report_json(["--bus", bus(name)])
    check(document["usable"] and document["adapter_count"] == len(described), f"{name}: adapter count")
    check([a["number"] for a in document["adapters"]] == list(range(len(described))), f"{name}: adapters")
    for adapter, bus_adapter in zip(document["adapters"], described):
        for key in ("manager", "identifier"):
            if isinstance(bus_adapter.get(key), str):
                check(adapter[key] == bus_adapter[key], f"{name}: {key} {adapter[key]!r}")
        answering = {t["id"]: t for t in bus_adapter.get("targets", []) if t["id"] <= 7 and "status" not in t}
        check([t["id"] for t in adapter["targets"]] == sorted(answering), f"{name}: answering targets")
        for fact in adapter["targets"]:
            check_target(f"{name} {adapter['number']}:{fact['id']}", fact, answering[fact["id"]])

asked = report_json(["--bus", bus("wide-targets.json"), "--adapter", "0", "--target", "300"])
targets = [t for a in asked["adapters"] for t in a["targets"]]
check(len(targets) == 1 and targets[0]["id"] == 300 and targets[0]["inquiry"]["vendor"] == "T44",
      "--target 300 asks target 44 and names 300")
aborted = report_json(["--bus", bus("first-inquiry-aborted.json")])
check(aborted["adapter_count"] is None and aborted["adapters"] == [], "an aborted first inquiry invents no count")
third = report_json(["--bus", os.path.join(SOURCE, "tests/reports/buses/survey_abort_third.json")])
check([(a["number"], a["status"]) for a in third["adapters"]] == [(0, 1), (1, 1), (2, 2)],
      "the adapters end at an aborted inquiry, as the window's survey does")
odd_json = report_json(["--bus", bus("odd-texts.json")])
check(odd_json["adapters"][1]["manager"] == "" and odd_json["adapters"][1]["identifier"] == "X\ufffdY",
      "names end at their NUL byte; bytes that are no character become U+FFFD")

# --- --all: every target ID and LUN, and each device's identity ----------------
WIDE = os.path.join(SOURCE, "tests/cli/buses/wide.json")
with open(WIDE, encoding="utf-8") as f:
    wide_bus = json.load(f)["adapters"]
# Every unit of the bus but LUN 9 behind a LUN 0 older than SCSI-3, which
# is never asked for its LUNs; target 12's page 80h promises more than it has.
units = sorted((a, t["id"], t.get("lun", 0)) for a, adapter in enumerate(wide_bus)
               for t in adapter["targets"] if t.get("lun", 0) != 9)
serials = {(0, 0, 0): "SER0-0", (0, 0, 1): "SER0-1"}
wwns = {(0, 0, 0): "0x5001234567890abc", (1, 15, 0): "0x6001234567890abc0011223344556677"}
wide = report_json(["--bus", WIDE, "--all"])
found = {(a["number"], t["id"], t["lun"]): t["identification"] for a in wide["adapters"] for t in a["targets"]}
check(list(found) == units, f"--all: units {list(found)}")
check({k: i["unit_serial_number"] for k, i in found.items() if i["unit_serial_number"]} == serials
      and {k: i["wwn"] for k, i in found.items() if i["wwn"]} == wwns, f"--all: identities {found}")
narrow = report_json(["--bus", WIDE])
check([(t["id"], t["lun"], t["identification"]) for a in narrow["adapters"] for t in a["targets"]] ==
      [(0, 0, found[(0, 0, 0)]), (3, 0, found[(0, 3, 0)])], "without --all: the window's targets")

# The text of --all is the window's, with each other unit's lines (a
# header and six lines, or a detailed display) in between.
outside = [f"HostNo {a},ID {t},LUN {l}" for a, t, l in units if t > 7 or l != 0]
for detailed in ([], ["--detailed"]):
    plain = run(["--bus", WIDE, "--encoding", "utf-8"] + detailed).stdout.decode("utf-8")
    lines = run(["--bus", WIDE, "--encoding", "utf-8", "--all"] + detailed).stdout.decode("utf-8").split("\n")
    headers = [i for i, line in enumerate(lines) if line in outside]
    check([lines[i] for i in headers] == outside, f"--all {detailed}: headers")
    for i in reversed(headers):
        end = lines.index("", i) + 1 if detailed else i + 7
        del lines[i:end]
    check("\n".join(lines).rstrip("\n") == plain.rstrip("\n"), f"--all {detailed}: the window's lines")
check("シリアル番号          = SER0-0\nNAA識別子             = 0x5001234567890abc\n" in plain,
      "--detailed: the identity lines")
check(run(["--bus", WIDE, "--all", "--adapter", "0", "--target", "1"]).returncode == 2, "--all with --target")

# --- streaming: what is done goes out while a hung device holds up the rest --
with tempfile.TemporaryDirectory() as folder:
    hung_bus = os.path.join(folder, "hung.json")
    with open(hung_bus, "w", encoding="utf-8") as f:
        json.dump({"adapters": [{"targets": [{"id": 0, "inquiry": {"vendor": "FIRST"}},
                                             {"id": 1, "inquiry": {"vendor": "HUNG"}, "delay_ms": -1},
                                             {"id": 2, "inquiry": {"vendor": "LAST"}}]}]}, f)
    # Target 1 holds the run up for 10 s a request; it is ended once target 0 is out.
    streamed = subprocess.Popen([REPORT, "--bus", hung_bus, "--encoding", "utf-8"],
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                env=dict(os.environ, LC_ALL="C.UTF-8"))
    seen = b""
    while b"FIRST" not in seen and select.select([streamed.stdout], [], [], 60)[0]:
        chunk = os.read(streamed.stdout.fileno(), 65536)
        if not chunk:
            break
        seen += chunk
    check(b"FIRST" in seen and b"LAST" not in seen,
          f"target 0's lines reach the pipe while target 1 hangs: {seen[-80:]!r}")
    streamed.kill()
    streamed.wait()
    streamed.stdout.close()

for failure in failures:
    print("FAILED:", failure)
print(f"{len(failures) == 0 and 1 or 0} passed, {len(failures) and 1 or 0} failed "
      f"({len(failures)} checks failed)")
sys.exit(1 if failures else 0)
