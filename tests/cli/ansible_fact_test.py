#!/usr/bin/env python3
"""The Ansible local fact busview.fact through Debian's ansible-core: the
setup module, given a fact_path that holds it, must give exactly the JSON
document of busview-report --all --json on the same bus as
ansible_local.busview, also where the layer is not usable, and find
busview-report through BUSVIEW_REPORT or PATH.

Usage: ansible_fact_test.py BUSVIEW_REPORT FACT SOURCE_DIR
Exit status 77 (a skip) where ansible is missing."""
import json
import os
import shutil
import subprocess
import sys
import tempfile

REPORT, FACT, SOURCE = sys.argv[1:4]
ANSIBLE = shutil.which("ansible", path="/usr/bin")
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("  FAILED:", what, flush=True)


def local_facts(facts, home, env):
    """ansible_local as the setup module gives it on this machine."""
    result = subprocess.run(
        [ANSIBLE, "localhost", "-i", "localhost,", "-c", "local", "-m", "setup",
         "-a", f"fact_path={facts} gather_subset=!all,!min,local filter=ansible_local"],
        capture_output=True, text=True, timeout=120,
        env=dict(env, HOME=home, ANSIBLE_PYTHON_INTERPRETER="/usr/bin/python3", LC_ALL="C.UTF-8"))
    # "localhost | SUCCESS => {...}"
    head, _, answer = result.stdout.partition(" => ")
    if result.returncode != 0 or "SUCCESS" not in head:
        check(False, f"ansible: {result.returncode} {result.stdout[-400:]} {result.stderr[-400:]}")
        return {}
    return json.loads(answer)["ansible_facts"].get("ansible_local", {})


def main():
    if not ANSIBLE:
        print("ansible (Debian's ansible-core) is not installed; skipping")
        sys.exit(77)
    base = {k: v for k, v in os.environ.items() if k not in ("BUSVIEW_REPORT", "WNASPI32_BUS")}
    with tempfile.TemporaryDirectory() as work:
        facts = os.path.join(work, "facts.d")
        os.mkdir(facts)
        shutil.copy(FACT, os.path.join(facts, "busview.fact"))
        on_path = dict(base, PATH=os.path.dirname(REPORT) + ":" + base.get("PATH", "/usr/bin:/bin"))
        named = dict(base, BUSVIEW_REPORT=REPORT)
        for bus, env in (("examples/workstation.json", named), ("tests/cli/buses/every-field.json", named),
                         ("tests/ui/buses/odd-texts.json", on_path), ("tests/ui/buses/unusable.json", named)):
            path = os.path.join(SOURCE, bus)
            got = local_facts(facts, work, dict(env, WNASPI32_BUS=path)).get("busview")
            expected = json.loads(subprocess.run([REPORT, "--all", "--json", "--bus", path],
                                                 capture_output=True, timeout=60).stdout)
            # The document names the arguments busview-report was given.
            expected["utility_invoked"]["argv"] = ["--all", "--json"]
            check(got == expected, f"{bus}: ansible_local.busview is {str(got)[:300]}")
    for failure in failures:
        print("FAILED:", failure)
    print(f"{len(failures) == 0 and 1 or 0} passed, {len(failures) and 1 or 0} failed "
          f"({len(failures)} checks failed)")
    sys.exit(1 if failures else 0)


main()
