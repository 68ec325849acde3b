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
    # The first character whole, also beyond the Basic Multilingual Plane.
    (["--adapter", "😀1"], 2, ["'😀' は整数ではありません."]),
    # The first text refused is the one named, as the window would.
    (["--adapter", "x", "--target", "y"], 2, ["'x' は整数ではありません."]),
    (["--target", "y", "--adapter", "x"], 2, ["'y' は整数ではありません."]),
    # An empty file name would leave the layer on the machine's own buses.
    (["--bus", ""], 2, ["busview-report: option '--bus' needs a file name"]),
    (["--bus="], 2, ["busview-report: option '--bus' needs a file name"]),
    (["--output="], 2, ["busview-report: option '--output' needs a file name"]),
    (["--json", "--prometheus"], 2, ["busview-report: option '--prometheus' cannot be used with '--json'"]),
    (["--prometheus", "--output", "/nonexistent/busview.prom"], 1,
     ["busview-report: /nonexistent/busview.prom: No such file or directory"]),
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

# --output takes every report, byte for byte what standard output gets (the
# JSON document names its own arguments).
with tempfile.TemporaryDirectory() as folder:
    for args in (["--encoding", "utf-8"], ["--detailed", "--encoding", "cp932"], ["--json"]):
        args += ["--bus", bus("two-adapters.json")]
        written = os.path.join(folder, "report")
        result = run(args + ["--output", written])
        with open(written, "rb") as f:
            got, want = f.read(), run(args).stdout
        if "--json" in args and got:
            got, want = json.loads(got), json.loads(want)
            got["utility_invoked"]["argv"] = want["utility_invoked"]["argv"]
        check(result.returncode == 0 and not result.stdout and got == want, f"{args} --output")

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
def with_terminal(args):
    """Runs busview-report with standard error on a terminal: its result
    and everything the terminal got, read to the end."""
    master, terminal = pty.openpty()
    env = dict(os.environ, LC_ALL="C.UTF-8")
    result = subprocess.run([REPORT] + args, stdout=subprocess.PIPE, stderr=terminal,
                            env=env, timeout=60)
    os.close(terminal)
    seen = b""
    while select.select([master], [], [], 5)[0]:
        try:
            chunk = os.read(master, 65536)
        except OSError:  # every writer gone: the end
            break
        if not chunk:
            break
        seen += chunk
    os.close(master)
    return result, seen


shown, progress = with_terminal(["--bus", bus("two-adapters.json"), "--encoding", "utf-8"])
check(shown.stdout == utf8, "progress leaves the output alone")
check(b"HostNo 1,ID 7 ..." in progress and progress.endswith(b"\r\x1b[K"),
      f"a terminal sees the progress, erased at the end: {progress[-40:]!r}")
# Under --all the progress names the LUN it asks.
for args in (["--all"], ["--all", "--json"], ["--all", "--detailed"]):
    _, progress = with_terminal(["--bus", os.path.join(SOURCE, "tests/cli/buses/wide.json")] + args)
    check(b"HostNo 0,ID 0,LUN 1 ..." in progress and b"HostNo 0,ID 12,LUN 3 ..." in progress,
          f"{' '.join(args)} shows the LUNs it asks: {progress[-60:]!r}")

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


VERSION = run(["--version"]).stdout.decode("utf-8").split()[-1]

# Standard INQUIRY data as SCSI-2 lays it out: each field's byte and bits,
# and the texts' byte ranges.
INQUIRY_BITS = [
    ("peripheral_qualifier", 0, 0xE0), ("peripheral_device_type", 0, 0x1F), ("removable", 1, 0x80),
    ("iso_version", 2, 0xC0), ("ecma_version", 2, 0x38), ("ansi_version", 2, 0x07), ("aenc", 3, 0x80),
    ("response_data_format", 3, 0x0F), ("capabilities.removable_medium", 1, 0x80),
    ("capabilities.async_event_notification", 3, 0x80), ("capabilities.relative_addressing", 7, 0x80),
    ("capabilities.wide_bus_32", 7, 0x40), ("capabilities.wide_bus_16", 7, 0x20),
    ("capabilities.synchronous_transfer", 7, 0x10), ("capabilities.linked_commands", 7, 0x08),
    ("capabilities.command_queuing", 7, 0x02), ("capabilities.soft_reset", 7, 0x01)]
INQUIRY_TEXTS = [("vendor", 8, 16), ("product", 16, 32), ("revision", 32, 36)]


def check_inquiry(where, got):
    """Every decoded field of a document's INQUIRY data against its raw bytes."""
    raw = bytes.fromhex(got["raw"])
    for path, byte, mask in INQUIRY_BITS:
        value = got
        for key in path.split("."):
            value = value[key]
        check(value == (raw[byte] & mask) // (mask & -mask), f"{where}: {path} {value} from {raw[:8].hex()}")
    for key, first, end in INQUIRY_TEXTS:
        text = raw[first:end].split(b"\0")[0]
        if all(0x20 <= b < 0x7F for b in text):
            check(got[key] == text.decode().rstrip(" "), f"{where}: {key} {got[key]!r}")


def report_json(args):
    result = run(["--json"] + args)
    document = json.loads(result.stdout.decode("utf-8"))
    for error in validator.iter_errors(document):
        failures.append(f"{args}: schema: {error.message} at {list(error.absolute_path)}")
    check(document["utility_invoked"]["argv"] == ["--json"] + args and
          document["utility_invoked"]["version"] == VERSION, f"{args}: {document['utility_invoked']}")
    for adapter in document["adapters"]:
        for target in adapter["targets"]:
            if target["inquiry"] is not None:
                check_inquiry(f"{args} {adapter['number']}:{target['id']}", target["inquiry"])
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
failed = report_json(["--bus", os.path.join(SOURCE, "tests/reports/buses/survey_first_failed.json")])
check([(d["host_adapter_inquiry_status"], d["adapter_count"], d["scsi_id"]) for d in (aborted, failed)] ==
      [(2, None, None), (4, None, None)], "a failed first inquiry gives no count and no SCSI ID")
third = report_json(["--bus", os.path.join(SOURCE, "tests/reports/buses/survey_abort_third.json")])
check([(a["number"], a["status"]) for a in third["adapters"]] == [(0, 1), (1, 1), (2, 2)],
      "the adapters end at an aborted inquiry, as the window's survey does")
odd_json = report_json(["--bus", bus("odd-texts.json")])
check(odd_json["adapters"][1]["manager"] == "" and odd_json["adapters"][1]["identifier"] == "X\ufffdY",
      "names end at their NUL byte; bytes that are no character become U+FFFD")


# --- JSON: every field from its own byte, bit or name --------------------------
def check_subset(where, got, want):
    """`got` holds `want`: the keys it names, list elements one for one."""
    if isinstance(want, dict):
        for key, value in want.items():
            check_subset(f"{where}.{key}", got.get(key, "(missing)") if isinstance(got, dict) else got, value)
    elif isinstance(want, list) and isinstance(got, list) and len(got) == len(want):
        for i, (g, w) in enumerate(zip(got, want)):
            check_subset(f"{where}[{i}]", g, w)
    else:
        check(got == want and type(got) is type(want), f"{where}: {got!r}, not {want!r}")


# tests/cli/buses/every-field.json: each field from a source of its own.
# The designators: one of every type SCSI names (its designator type,
# code set and association), with their values under sg3_utils' names.
DESIGNATORS = [
    (0, 1, 0, {"vendor_specific_hexbytes": "010203"}),
    (1, 2, 0, {"t10_vendor_identification": "VENDOR08", "vendor_specific_identifier": "ID-0001"}),
    (1, 1, 0, {"t10_vendor_identification": "ABCDEFGH", "vendor_specific_identifier": "0102"}),
    (2, 1, 1, {"eui_64_based_designator_length": 8, "ieee_identifier": "0011223344556677"}),
    (2, 1, 0, {"eui_64_based_designator_length": 12, "ieee_identifier": "0011223344556677",
               "directory_identifier": "8899aabb"}),
    (2, 1, 0, {"eui_64_based_designator_length": 16, "identifier_extension": "0102030405060708",
               "ieee_identifier": "090a0b0c0d0e0f10"}),
    (3, 1, 1, {"naa": 5, "full_naa_hexbytes": "5000000000000009"}),
    (3, 1, 0, {"naa": 6, "full_naa_hexbytes": "600123456789abcd0011223344556677"}),
    (4, 1, 1, {"relative_target_port_hexbytes": "00000002"}),
    (5, 1, 1, {"target_port_group_hexbytes": "00000003"}),
    (6, 1, 0, {"logical_unit_group_hexbytes": "00000004"}),
    (7, 1, 0, {"md5_logical_unit_identifier": "f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff"}),
    (8, 3, 2, {"scsi_name_string": "iqn.2026-01.bv:例"}),
    (9, 1, 1, {"protocol_specific_port_identifier_hexbytes": "00050000"}),
    (10, 1, 0, {"uuid_hexbytes": "10112233445566778899aabbccddeeff"}),
    (15, 1, 3, {"reserved_designator_hexbytes": "01"}),
    (8, 3, 0, {"scsi_name_string": "eui.\ufffd"}),  # a byte that is no UTF-8
]
UNASKED = {"int13": None, "inquiry": None, "capacity": None,
           "identification": {"supported_vpd_pages": [], "unit_serial_number": None, "designators": [], "wwn": None}}
EVERY_FIELD = {
    "support_info": 0x0102, "usable": True, "host_adapter_inquiry_status": 1,
    "adapter_count": 2, "scsi_id": 5,
    "adapters": [
        {"number": 0, "status": 1, "manager": "MANAGER-SIXTEEN!", "identifier": "EVERY-FIELD", "targets": [
            {"id": 0, "lun": 0, "device_type": 0, "device_type_name": "ＨＤＤ",
             "int13": {"drive": 0x81, "os_managed": True, "heads": 254, "sectors": 62},
             "inquiry": {"peripheral_device_type": 5, "peripheral_device_type_name": "ＣＤ－ＲＯＭ",
                         "raw": "050005021f000000" + b"VENDOR08PRODUCT-SIXTEEN!REV4".hex()},
             "capacity": {"last_lba": 0x12345678, "block_length": 2048, "bytes": 0x12345679 * 2048,
                          "megabytes": 596523.24},
             "identification": {"supported_vpd_pages": [0, 0x80, 0x83, 0xB0], "unit_serial_number": "SN-0042",
                                "wwn": "0x600123456789abcd0011223344556677"},
             "status": {"device_type": 1, "disk_info": 1, "inquiry": 1, "read_capacity": 1}},
            dict(UNASKED, id=1, device_type=3, status={"device_type": 1, "disk_info": 4, "inquiry": 2,
                                                       "read_capacity": 0x80}),
            {"id": 2, "capacity": {"last_lba": 2**64 - 1, "block_length": 4096, "bytes": float(2**76),
                                   "megabytes": float(2**56)}}]},
        {"number": 1, "status": 4, "manager": None, "identifier": None, "targets": []}]}
every_field = report_json(["--bus", os.path.join(SOURCE, "tests/cli/buses/every-field.json")])
check_subset("every-field", every_field, EVERY_FIELD)
designators = every_field["adapters"][0]["targets"][0]["identification"]["designators"]
check(len(designators) == len(DESIGNATORS), f"every-field: {len(designators)} designators")
for got, (kind, code_set, association, value) in zip(designators, DESIGNATORS):
    want = dict(designator_type=kind, code_set=code_set, association=association, **value)
    check(got == want, f"every-field: designator {got}, not {want}")

# One device for each field's bits alone and one with all the bits no field
# has: a field read from the wrong byte or bits misses one of them.
with tempfile.TemporaryDirectory() as folder:
    owned = [0] * 8
    for _, byte, mask in INQUIRY_BITS:
        owned[byte] |= mask
    heads = sorted({bytes(mask if i == byte else 0 for i in range(8)) for _, byte, mask in INQUIRY_BITS})
    heads.append(bytes(0 if i == 4 else ~owned[i] & 0xFF for i in range(8)))
    raws = [head + b"ABCDEFGHIJKLMNOPQRSTUVWXYZ12" for head in heads]
    bits_bus = os.path.join(folder, "bits.json")
    with open(bits_bus, "w", encoding="utf-8") as f:
        json.dump({"adapters": [{"targets": [{"id": i, "type": 0, "inquiry": raw.hex()}
                                             for i, raw in enumerate(raws[a:a + 8])]}
                                for a in range(0, len(raws), 8)]}, f)
    bits = report_json(["--bus", bits_bus])
    got = [bytes.fromhex(t["inquiry"]["raw"]) for a in bits["adapters"] for t in a["targets"]]
    check(got == raws, f"the INQUIRY bits bus: {[r.hex() for r in got]}")

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
