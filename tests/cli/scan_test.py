#!/usr/bin/env python3
"""busview-report --all on a bus of many slow units with a hung one among
them: the same bytes as a run that asks one request after the other, in
about one wait for the hung unit rather than the sum of every unit's time.

Usage: scan_test.py BUSVIEW_REPORT"""
import json
import os
import subprocess
import sys
import tempfile
import time

REPORT = sys.argv[1]
WAIT_S = 10  # what the program waits for a request at most
DELAY_MS = 200
HUNG = (0, 5, 2)
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def unit(adapter, target, lun, slow):
    serial = f"SN{adapter}{target:02d}{lun}"
    entry = {"id": target, "lun": lun,
             "inquiry": {"type": 0, "version": 5, "format": 2, "vendor": "BVSIM",
                         "product": f"UNIT {adapter}:{target}:{lun}", "revision": "1.0"},
             "capacity": {"last_lba": 2047 + target, "block_length": 512},
             "disk": {"flags": 3, "heads": 64, "sectors": 32},
             "vpd": {"0x00": "00 00 00 02 00 80",
                     "0x80": "00 80 00 %02x " % len(serial) + " ".join(f"{b:02x}" for b in serial.encode())}}
    if (adapter, target, lun) == HUNG:
        entry["delay_ms"] = {"inquiry": -1}
    elif slow:
        entry["delay_ms"] = {"inquiry": DELAY_MS, "read_capacity": DELAY_MS}
    return entry


def bus(slow):
    """Adapter 0: 12 targets of 4 LUNs; adapter 1: 8 targets of 2 LUNs.
    With `slow`, every INQUIRY and READ CAPACITY takes DELAY_MS: one after
    the other, the text of --all alone asks 80 such INQUIRYs (16 s)."""
    shapes = [(12, 4), (8, 2)]
    return {"adapters": [{"identifier": f"MANY-{a}", "target_ids": targets,
                          "targets": [unit(a, t, l, slow) for t in range(targets) for l in range(luns)]}
                         for a, (targets, luns) in enumerate(shapes)]}


with tempfile.TemporaryDirectory() as folder:
    paths = {}
    for slow in (True, False):
        paths[slow] = os.path.join(folder, f"slow-{slow}.json")
        with open(paths[slow], "w", encoding="utf-8") as f:
            json.dump(bus(slow), f)
    env = dict(os.environ, LC_ALL="C.UTF-8")
    alone_env = dict(env, BUSVIEW_REPORT_IN_FLIGHT="1")
    runs = {}
    # Side by side: each run spends its time waiting.
    for mode in (["--all"], ["--all", "--detailed"], ["--all", "--json"]):
        for name, path, run_env in (("ahead", paths[True], env), ("alone", paths[False], alone_env)):
            started = time.monotonic()
            process = subprocess.Popen([REPORT, "--bus", path, "--encoding", "utf-8"] + mode,
                                       stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=run_env)
            runs[(tuple(mode), name)] = (process, started)
    for (mode, name), (process, started) in runs.items():
        out, err = process.communicate(timeout=120)
        runs[(mode, name)] = (process.returncode, out, err, time.monotonic() - started)

    for mode in {mode for mode, _ in runs}:
        status, out, err, seconds = runs[(mode, "ahead")]
        alone_status, alone_out, alone_err, _ = runs[(mode, "alone")]
        check(status == 0 and alone_status == 0 and not err and not alone_err,
              f"{mode}: exit statuses {status}, {alone_status}: {err[-300:]!r} {alone_err[-300:]!r}")
        # Delays change no answer: the slow bus reads as the quick one.
        if "--json" in mode:
            out, alone_out = (out.replace(paths[True].encode(), b"BUS"),
                              alone_out.replace(paths[False].encode(), b"BUS"))
        check(out == alone_out, f"{mode}: the output differs from the one asked one request after the other")
        check(b"UNIT 0:5:3" in out and b"UNIT 1:7:1" in out, f"{mode}: units missing")
        check(WAIT_S <= seconds < 2 * WAIT_S, f"{mode}: {seconds:.1f} s, not about one wait of {WAIT_S} s")

for failure in failures:
    print("FAILED:", failure)
print(f"{len(failures) == 0 and 1 or 0} passed, {len(failures) and 1 or 0} failed "
      f"({len(failures)} checks failed)")
sys.exit(1 if failures else 0)
