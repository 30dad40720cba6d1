#!/usr/bin/python3
"""Prints what tomllib reads from capability table files, numbered as the
engine's reader numbers them: the entries of an array of tables nested in
"DeviceCapability" entries are counted across all of them, in file order.
Per file: "FILE <path>", then "T <table> <n> <key count>" per entry and
"I <key> <integer>" / "S <key> <text>" per value; "ERROR" when tomllib
refuses the file."""
import sys
import tomllib

for path in sys.argv[1:]:
    print("FILE", path)
    try:
        with open(path, "rb") as f:
            models = tomllib.load(f).get("DeviceCapability", [])
    except (tomllib.TOMLDecodeError, OSError):
        print("ERROR")
        continue
    tables = {"DeviceCapability": list(models)}
    for model in models:
        for key, value in model.items():
            if isinstance(value, list):
                tables.setdefault("DeviceCapability." + key, []).extend(value)
    for name, entries in tables.items():
        for n, entry in enumerate(entries, start=1):
            scalars = {k: v for k, v in entry.items() if not isinstance(v, list)}
            print("T", name, n, len(scalars))
            for key, value in scalars.items():
                print("I" if isinstance(value, int) else "S", key, value)
