#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every step vexo has under --json, succeeding and failing, and checks
# every record it prints against docs/json.schema.json. The steps come from
# `vexo --help` (the step table): a step without an entry in the schema's
# $defs/steps fails here, as does a step this script never saw print.
import hashlib
import json
import os
import re
import subprocess
import sys
import tempfile
import zlib

import jsonschema

vexo, schema_path = os.path.abspath(sys.argv[1]), sys.argv[2]
schema = json.load(open(schema_path, encoding="utf-8"))
jsonschema.Draft202012Validator.check_schema(schema)
validator = jsonschema.Draft202012Validator(schema)

help_text = subprocess.run([vexo, "--help"], capture_output=True, text=True, check=True).stdout
steps_part = help_text.split("Steps:\n", 1)[1].split("\n\n", 1)[0]
steps = [m.group(1) for m in re.finditer(r"^  (\S+)", steps_part, re.M)]
assert len(steps) > 20, steps
failures = []
for step in steps:
    if step not in schema["$defs"]["steps"]:
        failures.append(f"step '{step}' has no entry in $defs/steps of {schema_path}")

work = tempfile.mkdtemp(prefix="vexo-schema-")
image = os.path.join(work, "fw.bin")
with open(image, "wb") as f:
    f.write(bytes((i * 7 + 3) & 0xFF for i in range(32768)))
with open(image, "rb") as f, open(os.path.join(work, "chip.bin"), "wb") as g:
    g.write(f.read())  # a chip that holds the image, read through a stuck line
with open(image, "rb") as f:
    data = f.read()
with open(os.path.join(work, "set.xml"), "w", encoding="utf-8") as f:
    f.write('<?xml version="1.0"?>\n<datafile><game name="board"><description>Board</description>'
            f'<rom name="fw.u1" size="{len(data)}" crc="{zlib.crc32(data):08x}" '
            f'sha1="{hashlib.sha1(data).hexdigest()}"/></game></datafile>\n')
with open(os.path.join(work, "bad.xml"), "w", encoding="utf-8") as f:
    f.write("<datafile><game>\n")

# (arguments, standard input): successes first, then failures of each kind.
runs = [
    (["load", "fw.bin", "export", "fw.hex", "status", "checksum", "checksum", "--range", "0", "0xFF"], b""),
    (["load", "fw.hex", "auto", "verify", "read", "save", "dump.bin", "blank"], b""),
    (["port", "1", "device", "27C512", "speed", "high", "status"], b""),
    (["convert", "fw.hex", "out.bin", "convert", "fw.bin", "out.s19", "--fill", "0"], b""),
    (["load", "fw.bin", "fill", "0", "0xF", "0x11", "patch", "0x10", "1", "2", "swap", "repeat",
      "split", "even.bin", "odd.bin", "merge", "even.bin", "odd.bin", "load-at", "0x100", "fw.bin",
      "export", "x.bin"], b""),
    (["load", "fw.bin", "write", "compare", "erase-check"], b""),
    (["--port", "sim:data-stuck=3:1", "load", "fw.bin", "compare", "--max-diffs", "2",
      "erase-check", "--max-diffs", "1"], b""),
    (["--port", "sim:chip=chip.bin,data-stuck=3:1", "load", "fw.bin", "compare", "--max-diffs", "1"], b""),
    (["--port", "sim:addr-open=4", "load", "fw.bin", "auto"], b""),
    (["--port", "sim:addr-open=4", "load", "fw.bin", "compare"], b""),
    (["doctor"], b""),
    (["--port", "sim:module=absent", "doctor"], b""),
    (["--port", "sim:tray=tray", "load", "fw.bin", "batch", "--serial", "0x7FF0:4:1"], b"\n\nq\n"),
    (["load", "-", "export", "-"], open(image, "rb").read()),
    (["convert", "-", "-"], open(image, "rb").read()),
    (["load", "fw.bin", "write", "read", "--passes", "3", "save", "s.bin", "--passes", "2", "inspect",
      "fill", "0x100", "0x3FF", "0xFF", "inspect", "--range", "0", "0xFFF", "identify", "--dat", "set.xml"], b""),
    (["--port", "sim:chip=chip.bin,flaky=5", "read", "--passes", "3", "--max-diffs", "2"], b""),
    (["--port", "sim:chip=chip.bin,flaky=5", "save", "v.bin", "--passes", "3"], b""),
    (["identify", "--dat", "set.xml"], b""),
    (["load", "fw.bin", "job-save", "fw.vexojob", "--serial", "0x10:4:1", "--log", "sqlite:line.db"], b""),
    (["--port", "sim:tray=jobtray", "--job", "fw.vexojob", "--station", "s1", "batch"], b"\n\nq\n"),
    (["log-report", "--log", "sqlite:line.db"], b""),
    (["log-report", "--log", "sqlite:none.db"], b""),
    (["identify", "--dat", "bad.xml"], b""),
    # Failures: a step's own, boxes, usage errors, a failed start.
    (["lines"], b""),
    (["load", "nope.bin"], b""),
    (["load-at", "0", "nope.bin"], b""),
    (["merge", "nope.bin", "fw.bin"], b""),
    (["split", "a.bin", "b.bin"], b""),
    (["repeat"], b""),
    (["compare"], b""),
    (["--port", "sim:module=absent", "read", "save", "s.bin"], b""),
    (["--port", "sim:module=absent", "blank", "write", "verify", "auto", "port", "2"], b""),
    (["load", "fw.bin", "export", "no/such/dir/x.bin"], b""),
    (["convert", "nope.hex", "x.bin"], b""),
    (["fill", "0", "0x1000000", "1"], b""),
    (["patch", "0xFFFFFF", "1", "2"], b""),
    (["checksum", "--range", "5", "1"], b""),
    (["swap", "load", "-"], b""),
    (["frobnicate"], b""),
    (["device", "27C999"], b""),
    (["load", "-", "load", "-"], b""),
    (["--trace", "no/such/dir/t.log", "status"], b""),
    (["--port", "sim:chip=fw.bin", "load", "fw.bin", "save", "fw.bin"], b""),
    (["--port", "sim:tray=tray", "load", "fw.bin", "batch"], b"q\n"),
]

def unique_keys(pairs):
    keys = [k for k, _ in pairs]
    duplicated = sorted({k for k in keys if keys.count(k) > 1})
    if duplicated:
        raise ValueError(f"key given twice: {', '.join(duplicated)}")
    return dict(pairs)


seen = set()
kinds = set()  # the records the contract names that must show up
records = 0
for args, stdin in runs:
    proc = subprocess.run([vexo, "--json"] + args, input=stdin, capture_output=True, cwd=work)
    # With data on standard output the records go to standard error.
    data_out = "-" in args and any(a in args for a in ("export", "save", "split", "convert"))
    text = proc.stderr if data_out else proc.stdout
    lines = [l for l in text.decode("utf-8").splitlines() if l.startswith("{")] if data_out else \
        text.decode("utf-8").splitlines()
    if not lines:
        failures.append(f"{args}: no records")
    for line in lines:
        records += 1
        try:
            record = json.loads(line, object_pairs_hook=unique_keys)
        except (json.JSONDecodeError, ValueError) as e:
            failures.append(f"{args}: not JSON ({e}): {line}")
            continue
        seen.add(record.get("step"))
        if "finding" in record:
            kinds.add("finding:" + record["finding"])
        if record.get("step") == "doctor" and "check" in record:
            kinds.add("doctor check")
        if "address" in record and "kind" in record:
            kinds.add("compare byte")
        errors = sorted(validator.iter_errors(record), key=lambda e: e.path)
        if errors:
            best = jsonschema.exceptions.best_match(errors)
            failures.append(f"{args}: {line}\n    {best.message}")

for step in steps:
    if step not in seen:
        failures.append(f"step '{step}' printed no record in any run; add a run for it")
for kind in ("finding:data_line_stuck", "doctor check", "compare byte"):
    if kind not in kinds:
        failures.append(f"no {kind} record was seen")
for special in ("usage", "start"):
    if special not in seen:
        failures.append(f"no '{special}' failure record was seen")

print(f"{records} records from {len(runs)} runs, {len(steps)} steps")
for f in failures:
    print("FAIL:", f)
sys.exit(1 if failures else 0)
