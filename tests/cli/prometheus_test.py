#!/usr/bin/env python3
"""busview-report --prometheus --output as Debian's node exporter reads it:
the exporter runs on a loopback port with its textfile collector on a
folder of ours; after each run its /metrics must hold exactly the series
the JSON document of the same run (--json) makes, with no scrape error,
and promtool must take the file. Then what --output promises: a reader
never sees a half-written file, two runs at once, a run ended by a signal,
a folder that takes no file, a full disk.

Usage: prometheus_test.py BUSVIEW_REPORT SOURCE_DIR   the bus files
       prometheus_test.py BUSVIEW_REPORT --devices    this machine's devices (the lab)
Exit status 77 (a skip) where the node exporter or promtool is missing."""
import glob
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

REPORT, SOURCE = sys.argv[1:3]
DEVICES = SOURCE == "--devices"
EXPORTER = shutil.which("prometheus-node-exporter")
PROMTOOL = shutil.which("promtool")
# The label values busview-report cuts longer ones to, in bytes.
LABEL_LIMIT = 1024
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("  FAILED:", what, flush=True)


def run(args, **kwargs):
    env = dict(os.environ, LC_ALL="C.UTF-8")
    return subprocess.run([REPORT] + args, capture_output=True, env=env, timeout=120, **kwargs)


# --- the text format, as the node exporter writes it -------------------------
def parse_labels(text, i):
    """The labels of `text` from just after its "{": (dict, index after "}")."""
    labels = {}
    while text[i] != "}":
        name_end = text.index("=", i)
        name = text[i:name_end].strip(", ")
        i = name_end + 2  # past '="'
        value = []
        while text[i] != '"':
            if text[i] == "\\":
                i += 1
                value.append({"n": "\n", "\\": "\\", '"': '"'}[text[i]])
            else:
                value.append(text[i])
            i += 1
        labels[name] = "".join(value)
        i += 1
        while text[i] in ", ":
            i += 1
    return labels, i + 1


def parse_exposition(text):
    """{(name, frozenset of labels): value}; labels with empty values are
    no labels to Prometheus."""
    series = {}
    for line in text.split("\n"):
        if not line or line.startswith("#"):
            continue
        brace = line.find("{")
        space = line.find(" ")
        if brace != -1 and brace < space:
            name = line[:brace]
            labels, end = parse_labels(line, brace + 1)
            value = line[end:].split()[0]
        else:
            name, value = line.split()[:2]
            labels = {}
        key = (name, frozenset((k, v) for k, v in labels.items() if v != ""))
        check(key not in series, f"a series twice: {key}")
        series[key] = float(value)
    return series


# --- the series a JSON document makes ----------------------------------------
def label(text):
    """A text of the document as busview-report gives it as a label value."""
    if text is None:
        return ""
    text = "".join("\ufffd" if (ord(c) < 0x20 and c != "\n") or ord(c) == 0x7F else c
                   for c in text.strip(" "))
    return text.encode("utf-8")[:LABEL_LIMIT].decode("utf-8", "ignore")


def expected_series(document):
    series = {}

    def put(name, labels, value):
        series[(name, frozenset((k, v) for k, v in labels.items() if v != ""))] = float(value)

    put("busview_layer_usable", {}, document["usable"])
    for adapter in document["adapters"]:
        number = str(adapter["number"])
        put("busview_adapter_info", {"adapter": number, "manager": label(adapter["manager"]),
                                     "identifier": label(adapter["identifier"])}, 1)
        put("busview_adapter_inquiry_success", {"adapter": number}, adapter["status"] == 1)
        put("busview_devices", {"adapter": number},
            sum(t["status"]["device_type"] == 1 for t in adapter["targets"]))
        for target in adapter["targets"]:
            unit = {"adapter": number, "target": str(target["id"]), "lun": str(target["lun"])}
            inquiry = target["inquiry"] or {}
            identity = target["identification"]
            put("busview_device_info", dict(
                unit, device_type="" if target["device_type"] is None else str(target["device_type"]),
                device_type_name=label(target["device_type_name"]), vendor=label(inquiry.get("vendor")),
                product=label(inquiry.get("product")), revision=label(inquiry.get("revision")),
                serial=label(identity["unit_serial_number"]), wwn=label(identity["wwn"])), 1)
            if target["capacity"] is not None:
                put("busview_device_capacity_bytes", unit, target["capacity"]["bytes"])
                put("busview_device_block_size_bytes", unit, target["capacity"]["block_length"])
            for request, status in target["status"].items():
                put("busview_request_success", dict(unit, request=request), status == 1)
    return series


# --- the node exporter --------------------------------------------------------
def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class NodeExporter:
    def __init__(self, folder):
        self.url = f"http://127.0.0.1:{free_port()}/metrics"
        self.process = subprocess.Popen(
            [EXPORTER, f"--web.listen-address={self.url.split('/')[2]}", "--collector.disable-defaults",
             "--collector.textfile", f"--collector.textfile.directory={folder}"],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        for _ in range(200):
            try:
                self.scrape()
                return
            except OSError:
                time.sleep(0.05)
        self.process.kill()
        sys.exit(f"the node exporter does not answer at {self.url}: {self.process.stderr.read()!r}")

    def scrape(self):
        with urllib.request.urlopen(self.url, timeout=10) as answer:
            return answer.read().decode("utf-8")

    def busview_series(self):
        """busview's series, and whether the collector read the folder
        without an error."""
        series = parse_exposition(self.scrape())
        read = series.get(("node_textfile_scrape_error", frozenset())) == 0.0
        return {k: v for k, v in series.items() if k[0].startswith("busview_")}, read

    def stop(self):
        self.process.terminate()
        self.process.wait()


def without_duration(series):
    return {k: v for k, v in series.items() if k[0] != "busview_scan_duration_seconds"}


def compare(where, exporter, document, took):
    """What the exporter serves against the series `document` makes."""
    got, read = exporter.busview_series()
    check(read, f"{where}: node_textfile_scrape_error is not 0")
    duration = got.get(("busview_scan_duration_seconds", frozenset()), -1)
    check(0 <= duration <= took, f"{where}: a scan of {duration} s in a run of {took:.3f} s")
    want = expected_series(document)
    if DEVICES:
        print(f"{where}: {len(want)} series of {len(document['adapters'])} adapters", flush=True)
    got = without_duration(got)
    for key in sorted(set(want) | set(got), key=repr):
        check(got.get(key) == want.get(key), f"{where}: {key[0]}{dict(key[1])} is {got.get(key)}, "
                                             f"not {want.get(key)}")
    return duration


def promtool_takes(where, path):
    with open(path, "rb") as f:
        checked = subprocess.run([PROMTOOL, "check", "metrics"], stdin=f, capture_output=True)
    check(checked.returncode == 0 and not checked.stdout and not checked.stderr,
          f"{where}: promtool check metrics: {checked.returncode} {checked.stdout + checked.stderr!r}")


def prometheus_run(args, output):
    started = time.monotonic()
    result = run(["--prometheus", "--output", output] + args)
    return result, time.monotonic() - started


# --- bus files ------------------------------------------------------------------
def odd_labels_bus(path):
    """Texts the format must escape, bytes that are no character, control
    bytes, blanks at either end, and a serial number past the cut (a
    two-byte character, three bytes in UTF-8, lies across it)."""
    serial = b'  Q"\\\n\rZ' + "あ".encode("cp932") * 400 + b"  "
    def page(code, body):
        return f"00 {code:02x} {len(body) >> 8:02x} {len(body) & 0xFF:02x} " + body.hex(" ")
    bus = {"adapters": [
        {"manager": {"hex": b'M"N\\O'.hex()}, "identifier": {"hex": b"I\nJ\rK\x01L\x7f".hex()}, "targets": [
            {"id": 0, "capacity": {"last_lba": 999, "block_length": 512},
             "inquiry": {"type": 0, "version": 5, "vendor": {"hex": b"  A\x80B\xff ".hex()},
                         "product": {"hex": b"\tP\\R\x1b[1m".hex()}, "revision": "R\"1"},
             "vpd": {"0x00": page(0, bytes([0, 0x80, 0x83])), "0x80": page(0x80, serial),
                     "0x83": page(0x83, bytes.fromhex("01030008 5001234567890abc"))}}]}]}
    with open(path, "w", encoding="utf-8") as f:
        json.dump(bus, f)


def cases(folder):
    if DEVICES:
        return [[], ["--all"]]
    buses = sorted(glob.glob(os.path.join(SOURCE, "tests/ui/buses/*.json")) +
                   glob.glob(os.path.join(SOURCE, "examples/*.json")) +
                   glob.glob(os.path.join(SOURCE, "tests/cli/buses/*.json")))
    odd = os.path.join(folder, "odd-labels.json")
    odd_labels_bus(odd)
    workstation = os.path.join(SOURCE, "examples/workstation.json")
    wide = os.path.join(SOURCE, "tests/cli/buses/wide.json")
    return ([["--bus", bus, "--all"] for bus in buses + [odd]] +
            [["--bus", workstation], ["--bus", workstation, "--adapter", "1"], ["--bus", wide, "--adapter", "1"]])


def main():
    os.umask(0o022)
    if not EXPORTER or not PROMTOOL:
        print("prometheus-node-exporter or promtool (Debian's prometheus) is not installed; skipping")
        sys.exit(77)
    with tempfile.TemporaryDirectory() as work:
        collected = os.path.join(work, "textfile")
        os.mkdir(collected)
        output = os.path.join(collected, "busview.prom")
        exporter = NodeExporter(collected)
        try:
            every_case(work, exporter, output)
            if not DEVICES:
                replacing(work, exporter, output)
        finally:
            exporter.stop()
    for failure in failures:
        print("FAILED:", failure)
    print(f"{len(failures) == 0 and 1 or 0} passed, {len(failures) and 1 or 0} failed "
          f"({len(failures)} checks failed)")
    sys.exit(1 if failures else 0)


def every_case(work, exporter, output):
    # The JSON documents of the bus files first, all at once: a hung device
    # holds each run up. Real devices are asked by one run at a time.
    def reference(args):
        return subprocess.Popen([REPORT, "--json"] + args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    all_cases = cases(work)
    documents = [None if DEVICES else reference(args) for args in all_cases]
    for args, reference_run in zip(all_cases, documents):
        where = " ".join(os.path.basename(a) for a in args) or "(no arguments)"
        reference_run = reference_run or reference(args)
        document = json.loads(reference_run.communicate(timeout=120)[0]) if DEVICES else None
        result, took = prometheus_run(args, output)
        document = document or json.loads(reference_run.communicate(timeout=120)[0])
        check(result.returncode == reference_run.returncode,
              f"{where}: exit status {result.returncode}, --json's {reference_run.returncode}")
        compare(where, exporter, document, took)
        promtool_takes(where, output)
        check(sorted(os.listdir(os.path.dirname(output))) == ["busview.prom"], f"{where}: files left behind")
        # A new file: readable to the node exporter's own user, as any is.
        check(os.stat(output).st_mode & 0o777 == 0o644, f"{where}: mode {os.stat(output).st_mode:o}")
        if "odd-labels.json" in where:
            odd_labels(where, exporter)


def odd_labels(where, exporter):
    """The odd texts as labels, spelt out: the comparison above takes its
    own rule for them from the document."""
    got, _ = exporter.busview_series()
    info = [dict(k[1]) for k in got if k[0] == "busview_device_info"]
    adapter = [dict(k[1]) for k in got if k[0] == "busview_adapter_info"]
    if not info or not adapter:
        return check(False, f"{where}: no device or adapter served")
    info, adapter = info[0], adapter[0]
    check((adapter["manager"], adapter["identifier"]) == ('M"N\\O', "I\nJ\ufffdK\ufffdL\ufffd"),
          f"{where}: adapter names {adapter}")
    check((info["vendor"], info["product"], info["revision"]) == ("A\ufffdB\ufffd", "\ufffdP\\R\ufffd[1m", 'R"1'),
          f"{where}: INQUIRY texts {info}")
    serial = info["serial"]
    check(serial.startswith('Q"\\\n\ufffdZあ') and serial.endswith("あ") and len(serial.encode("utf-8")) == 1022,
          f"{where}: the serial number cut at {len(serial.encode('utf-8'))} bytes, between two characters")
    check(info["wwn"] == "0x5001234567890abc", f"{where}: WWN {info['wwn']}")


def replacing(work, exporter, output):
    folder = os.path.dirname(output)
    workstation = os.path.join(SOURCE, "examples/workstation.json")
    hung = os.path.join(SOURCE, "tests/ui/buses/hung-device.json")
    slow = ["--bus", workstation, "--all"]  # its INQUIRY takes 400 ms
    document = json.loads(run(["--json"] + slow).stdout)
    want = without_duration(expected_series(document))
    run(["--prometheus", "--output", output] + slow)

    # Scrapes while the file is replaced, again and again: always all of it.
    done = threading.Event()
    scrapes = []

    def scrape():
        while not done.is_set():
            got, read = exporter.busview_series()
            scrapes.append(read and without_duration(got) == want)
    scraper = threading.Thread(target=scrape)
    scraper.start()
    statuses = [run(["--prometheus", "--output", output] + slow).returncode for _ in range(3)]
    done.set()
    scraper.join()
    check(statuses == [0, 0, 0] and len(scrapes) > 10 and all(scrapes),
          f"scraped while replaced: {scrapes.count(False)} of {len(scrapes)} scrapes saw no whole file")

    # Two runs at once, as a timer's and a user's: each its own new file.
    both = [subprocess.Popen([REPORT, "--prometheus", "--output", output] + slow, stderr=subprocess.PIPE)
            for _ in range(2)]
    errors = [p.communicate(timeout=60)[1] for p in both]
    check([p.returncode for p in both] == [0, 0], f"two runs at once: {[p.returncode for p in both]} {errors}")
    got, read = exporter.busview_series()
    check(read and without_duration(got) == want and os.listdir(folder) == ["busview.prom"],
          f"two runs at once leave {os.listdir(folder)}")

    # The permissions of the file it replaces stand.
    os.chmod(output, 0o640)
    run(["--prometheus", "--output", output] + slow)
    check(os.stat(output).st_mode & 0o777 == 0o640, f"a replaced file's mode {os.stat(output).st_mode:o}, not 640")
    os.chmod(output, 0o644)

    # Whatever kept a run from its end, the file stays as it was.
    def unchanged(where, path, old):
        check(os.path.exists(path) and open(path, "rb").read() == old, f"{where}: the file changed")
        left = os.listdir(os.path.dirname(path))
        check(left == ["busview.prom"], f"{where}: {left} left behind")

    def refused(where, result, path, message):
        check(result.returncode == 1 and result.stderr.decode() == f"busview-report: {path}: {message}\n",
              f"{where}: exit status {result.returncode}, {result.stderr!r}")

    with open(output, "rb") as f:
        old = f.read()
    # Ended by a signal (systemd's stop, Ctrl-C) while a device hangs.
    ended = subprocess.Popen([REPORT, "--prometheus", "--output", output, "--bus", hung],
                             stderr=subprocess.DEVNULL)
    for _ in range(250):
        if len(os.listdir(folder)) == 2:
            break
        time.sleep(0.02)
    ended.send_signal(signal.SIGTERM)
    ended.wait(timeout=10)
    check(ended.returncode == -signal.SIGTERM, f"ended by SIGTERM: exit status {ended.returncode}")
    unchanged("ended by SIGTERM", output, old)

    # A folder closed to the user (root is let in everywhere: nobody then).
    os.chmod(work, 0o755)
    os.chmod(folder, 0o555)
    as_other = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"] if os.geteuid() == 0 else []
    closed = subprocess.run(as_other + [REPORT, "--prometheus", "--output", output] + slow,
                            capture_output=True, env=dict(os.environ, LC_ALL="C.UTF-8"), timeout=60)
    os.chmod(folder, 0o755)
    refused("a folder closed to the user", closed, output, "Permission denied")
    unchanged("a folder closed to the user", output, old)
    nowhere = os.path.join(work, "none", "busview.prom")
    refused("a missing folder", run(["--prometheus", "--output", nowhere] + slow), nowhere,
            "No such file or directory")

    # A full disk: a small file system of its own, which only root mounts.
    small = os.path.join(work, "small")
    os.mkdir(small)
    if os.geteuid() != 0 or subprocess.run(["mount", "-t", "tmpfs", "-o", "size=16k", "tmpfs", small]).returncode:
        print("no tmpfs of our own (not root?): the full disk is not tried")
        return
    try:
        on_small = os.path.join(small, "busview.prom")
        with open(on_small, "wb") as f:
            f.write(old)
        filler = os.path.join(small, "filler")
        fill = os.open(filler, os.O_WRONLY | os.O_CREAT)
        try:
            while os.write(fill, b"\0" * 1024):
                pass
        except OSError:
            pass
        os.close(fill)
        full = run(["--prometheus", "--output", on_small] + slow)
        os.remove(filler)
        refused("a full disk", full, on_small, "No space left on device")
        unchanged("a full disk", on_small, old)
    finally:
        subprocess.run(["umount", small])


main()
