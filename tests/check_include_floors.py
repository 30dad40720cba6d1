#!/usr/bin/env python3
"""Checks that no lower floor of the code includes a higher one.

Usage: check_include_floors.py SOURCE_ROOT

The floors, lowest first: the toolbox (vdtcl/), then device access
(devaccess/) and the image library (imagelib/), which need only the
toolbox, then the engine (VexmorApi/), then the diagnostics (diagnostics/),
which describe the engine's records and dump its pages. A file of a floor
may include its own floor and the floors below it, nothing else of the tree
(the backend, the setup tools, the developer tools and the tests are above
them all).

The engine reaches up into the diagnostics only for the descriptors whose
texts its prescribed log lines carry; those includes, and only those, are
the exceptions (EXCEPTIONS below):
  VexmorApi/Vexmor.cpp               diagnostics/VdCommonDefDescriptor.h
                                     diagnostics/VdSdkScanStructsDescriptor.h
  VexmorApi/Temp/ReadThread_base.cpp diagnostics/VdSdkScanStructsDescriptor.h
  VexmorApi/Temp/ReadThread_v1.cpp   diagnostics/VdCommonDefDescriptor.h

An include is found where the compiler would find it: a path starting with
a folder of the tree names that folder; otherwise the path is looked up
beside the including file, then in VexmorApi/ (the engine's include
folder); anything else (the standard library, the system, generated
headers) is outside the floors. Exits 1 and lists file:line: include for
every upward include.
"""
import os
import re
import sys

# Each checked floor and the floors its files may include.
ALLOWED = {
    "vdtcl": {"vdtcl"},
    "devaccess": {"vdtcl", "devaccess"},
    "imagelib": {"vdtcl", "imagelib"},
    "VexmorApi": {"vdtcl", "devaccess", "imagelib", "VexmorApi"},
    "diagnostics": {"vdtcl", "devaccess", "imagelib", "VexmorApi", "diagnostics"},
}
# Folders above every floor: a floor never includes them.
ABOVE = {"backend_source", "netsetup", "tools", "tests"}
FOLDERS = set(ALLOWED) | ABOVE
# (including file, included header) pairs that may reach up.
EXCEPTIONS = {
    ("VexmorApi/Vexmor.cpp", "diagnostics/VdCommonDefDescriptor.h"),
    ("VexmorApi/Vexmor.cpp", "diagnostics/VdSdkScanStructsDescriptor.h"),
    ("VexmorApi/Temp/ReadThread_base.cpp", "diagnostics/VdSdkScanStructsDescriptor.h"),
    ("VexmorApi/Temp/ReadThread_v1.cpp", "diagnostics/VdCommonDefDescriptor.h"),
}
SOURCE_EXTENSIONS = (".h", ".hpp", ".c", ".cc", ".cpp", ".inc")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]')


def folder_of(relative):
    return relative.split("/", 1)[0]


def resolve(root, includer, quote, name):
    """The tree path (relative to root) an include names, or None outside the tree."""
    name = os.path.normpath(name).replace(os.sep, "/")
    if folder_of(name) in FOLDERS:
        return name
    if quote != '"':
        return None
    for base in (os.path.dirname(includer), "VexmorApi"):
        candidate = os.path.normpath(os.path.join(base, name)).replace(os.sep, "/")
        if not candidate.startswith("..") and os.path.isfile(os.path.join(root, candidate)):
            return candidate
    return None


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    root = sys.argv[1]
    misses = []
    checked = 0
    for floor in sorted(ALLOWED):
        for folder, dirs, files in os.walk(os.path.join(root, floor)):
            dirs[:] = sorted(d for d in dirs if not d.startswith("build") and d != ".git")
            for file_name in sorted(files):
                if not file_name.endswith(SOURCE_EXTENSIONS):
                    continue
                path = os.path.join(folder, file_name)
                includer = os.path.relpath(path, root).replace(os.sep, "/")
                checked += 1
                with open(path, encoding="utf-8", errors="ignore") as f:
                    for number, line in enumerate(f, 1):
                        match = INCLUDE.match(line)
                        if not match:
                            continue
                        target = resolve(root, includer, match.group(1), match.group(2))
                        if target is None or folder_of(target) in ALLOWED[floor]:
                            continue
                        if (includer, target) in EXCEPTIONS:
                            continue
                        misses.append(f"{includer}:{number}: {line.strip()} ({floor} may not include {folder_of(target)})")
    for miss in misses:
        print(miss)
    if misses:
        print(f"{len(misses)} upward include(s) in {checked} files")
        return 1
    print(f"include floors: {checked} files, no upward include")
    return 0


if __name__ == "__main__":
    sys.exit(main())
