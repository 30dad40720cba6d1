#!/usr/bin/env python3
"""Checks that the maps of the code still name what exists.

Usage: check_readme_names.py SOURCE_ROOT README...

Every text a README writes in backticks is looked up in the source tree:
- a path (it holds "/" or ends in a source file's extension) must exist,
  relative to the tree's root or to the README's folder; a bare file name
  may lie anywhere in the tree;
- a name (an identifier, or names joined by "::"; "()" at its end is
  dropped) must occur in a source file: "A::B" as written, or A and B in one
  file (a member declared in its class); a suffix ("_v1") must end a name;
- any other text without blanks or quotes (a file name such as
  libvexmor.so.3, an option) must occur in a source file as written.
Texts with blanks or quotes are prose and not looked up. Source files are
every file of the tree outside .git and build trees, except Markdown, so a
README never vouches for itself.

A README that promises "one line per unit" must also have, for every unit
of its folder (the sources of one stem: a header, a source or both), a
list line ("- `Unit`", "- `Unit.h`" or "- `Unit.cpp` ...") naming it.

Exits 1 and lists README:line: text for every miss and README: unit for
every unit without a line.
"""
import os
import re
import sys

PATH_EXTENSIONS = (".h", ".cpp", ".c", ".py", ".md", ".txt", ".sh", ".in", ".cmake", ".ini", ".exports", ".map")
NAME = re.compile(r"^~?[A-Za-z_][A-Za-z0-9_]*(::~?[A-Za-z_][A-Za-z0-9_]*)*$")
WORD = re.compile(r"[A-Za-z_][A-Za-z0-9_]*")
TICKED = re.compile(r"`([^`]+)`")
PROMISE = re.compile(r"\bone\s+line\s+per\s+unit\b", re.I)
UNIT_LINE = re.compile(r"^\s*- `([^`]+)`")
UNIT_EXTENSIONS = (".h", ".cpp", ".c")


def skipped_dir(name):
    return name == ".git" or name == "__pycache__" or name.startswith("build")


def read_sources(root):
    """{path: text} of the tree's files that are not Markdown."""
    sources = {}
    for folder, dirs, files in os.walk(root):
        dirs[:] = [d for d in dirs if not skipped_dir(d)]
        for name in files:
            if name.endswith(".md"):
                continue
            path = os.path.join(folder, name)
            try:
                if os.path.getsize(path) > 4 << 20:
                    continue
                with open(path, encoding="utf-8", errors="ignore") as f:
                    sources[path] = f.read()
            except OSError:
                continue
    return sources


class Tree:
    def __init__(self, root):
        self.root = root
        self.sources = read_sources(root)
        self.words_by_file = {p: set(WORD.findall(t)) for p, t in self.sources.items()}
        self.words = set().union(*self.words_by_file.values()) if self.words_by_file else set()
        self.file_names = set()
        for folder, dirs, files in os.walk(root):
            dirs[:] = [d for d in dirs if not skipped_dir(d)]
            self.file_names.update(files)

    def has_text(self, text):
        return any(text in t for t in self.sources.values())

    def has_name(self, name):
        parts = [p.lstrip("~") for p in name.split("::")]
        if len(parts) == 1 and parts[0].startswith("_"):
            return any(w.endswith(parts[0]) and w != parts[0] for w in self.words) or parts[0] in self.words
        if len(parts) == 1:
            return parts[0] in self.words
        if self.has_text(name):
            return True
        return any(parts[0] in words and parts[-1] in words for words in self.words_by_file.values())

    def has_path(self, token, base):
        token = token.rstrip("/") or "/"
        for start in (self.root, base):
            if os.path.exists(os.path.join(start, token)):
                return True
        return "/" not in token and token in self.file_names


def is_path(token):
    return "/" in token or token.endswith(PATH_EXTENSIONS)


def check(tree, readme):
    base = os.path.dirname(os.path.abspath(readme))
    misses = []
    with open(readme, encoding="utf-8") as f:
        lines = f.read().split("\n")
    in_code = False
    for number, line in enumerate(lines, 1):
        if line.startswith("```"):
            in_code = not in_code
            continue
        if in_code:
            continue
        for token in TICKED.findall(line):
            token = token.strip()
            if token.endswith("()"):
                token = token[:-2]
            if not token or re.search(r"[\s\"']", token):
                continue
            if is_path(token):
                found = tree.has_path(token, base)
            elif NAME.match(token):
                found = tree.has_name(token)
            else:
                found = tree.has_text(token)
            if not found:
                misses.append(f"{os.path.relpath(readme, tree.root)}:{number}: {token}")
    return misses


def units_without_line(tree, readme):
    """The units of the README's folder it has no line for, when it promises one per unit."""
    with open(readme, encoding="utf-8") as f:
        text = f.read()
    if not PROMISE.search(text):
        return []
    folder = os.path.dirname(os.path.abspath(readme))
    units = {os.path.splitext(name)[0] for name in os.listdir(folder)
             if name.endswith(UNIT_EXTENSIONS) and os.path.isfile(os.path.join(folder, name))}
    listed = set()
    for line in text.split("\n"):
        m = UNIT_LINE.match(line)
        if m:
            name = m.group(1).strip()
            listed.add(os.path.splitext(name)[0] if name.endswith(UNIT_EXTENSIONS) else name)
    return [f"{os.path.relpath(readme, tree.root)}: {unit}" for unit in sorted(units - listed)]


def main():
    if len(sys.argv) < 3:
        print(__doc__.strip().split("\n\n")[1], file=sys.stderr)
        return 2
    root = os.path.abspath(sys.argv[1])
    tree = Tree(root)
    misses = []
    unlisted = []
    for readme in sys.argv[2:]:
        path = os.path.join(root, readme) if not os.path.isabs(readme) else readme
        misses += check(tree, path)
        unlisted += units_without_line(tree, path)
    for miss in misses:
        print(f"not in the tree: {miss}")
    for unit in unlisted:
        print(f"no line for the unit: {unit}")
    if misses or unlisted:
        return 1
    print(f"every name of {len(sys.argv) - 2} READMEs is in the tree")
    return 0


if __name__ == "__main__":
    sys.exit(main())
