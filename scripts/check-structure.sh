#!/usr/bin/env bash
# Checks the layering the build cannot see: no include cycle between modules (a module is a .h/.cpp pair),
# window files of a readable length, system calls only in platform/, and the core libraries free of
# widgets and of ui/. Prints each finding and exits non-zero when there is one not listed as known.
#
#   bash scripts/check-structure.sh [SOURCE_DIR]
set -euo pipefail
root=${1:-"$(dirname "$0")/.."}

# Where the Qt Widgets headers are, so that any widget header (not only <QtWidgets/...>) is recognised.
qt_headers=$(qtpaths6 --query QT_INSTALL_HEADERS 2>/dev/null || qmake6 -query QT_INSTALL_HEADERS 2>/dev/null ||
             echo /usr/include/x86_64-linux-gnu/qt6)

exec python3 - "$root" "$qt_headers/QtWidgets" <<'EOF'
import os
import re
import sys

root = os.path.abspath(sys.argv[1])
widgets_dir = sys.argv[2]

# Our source folders; tests, benchmarks and fuzz targets may use anything.
SOURCE_DIRS = ["app", "cli", "engine", "history", "picture", "platform", "results", "settings", "ui"]
CORE_DIRS = {"engine", "history", "picture", "platform", "results", "settings"}
MAX_UI_LINES = 600

# Findings that stay for now, each with its reason; they are printed but do not fail the check. Remove an
# entry once its finding is gone (the check says so).
KNOWN: set[str] = set()

POSIX_PATTERNS = [
    (r"(?<![.>\w])opendir\s*\(", "opendir"),
    (r"(?<![.>\w])lstat\s*\(", "lstat"),
    (r"(?<![.>\w])stat\s*\(", "stat("),
    (r"(?<![.>\w])realpath\s*\(", "realpath"),
    (r"\brenameat2\b", "renameat2"),
    (r"\bst_mtim\b", "st_mtim"),
    (r"(?<![.>\w])getuid\s*\(", "getuid"),
    (r"(?<![.>\w])open\s*\([^;{}]*?\bO_[A-Z]+", "open( with O_ flags"),
    (r"/proc/self/mounts", "/proc/self/mounts"),
    (r"#\s*include\s*<(unistd\.h|sys/stat\.h|fcntl\.h|dirent\.h)>", "system header"),
]
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)


def strip_comments(text):
    """The code without its comments, string and character literals kept, line breaks kept."""
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            end = text.find("\n", i)
            i = n if end < 0 else end
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            out.append("\n" * text.count("\n", i, end))
            i = end
        elif c in "\"'":
            # A raw string literal would need more; none of ours holds a comment marker.
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            out.append(text[i:j + 1])
            i = j + 1
        else:
            out.append(c)
            i += 1
    return "".join(out)


def sources():
    for d in SOURCE_DIRS:
        for dirpath, _, files in os.walk(os.path.join(root, d)):
            for f in sorted(files):
                if f.endswith((".h", ".cpp")):
                    yield os.path.relpath(os.path.join(dirpath, f), root)


def module(path):
    return os.path.splitext(path)[0]


def resolve(including, name):
    """The file of ours that a quoted include names, or None (generated or outside files)."""
    for candidate in (os.path.join(os.path.dirname(including), name), name):
        candidate = os.path.normpath(candidate)
        if os.path.isfile(os.path.join(root, candidate)):
            return candidate
    return None


widget_headers = set(os.listdir(widgets_dir)) if os.path.isdir(widgets_dir) else set()
findings = []
edges = {}
for path in sources():
    with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
        text = f.read()
    top = path.split(os.sep)[0]
    code = strip_comments(text)

    if top == "ui" and text.count("\n") > MAX_UI_LINES:
        findings.append((f"long: {path}", f"{text.count(chr(10))} lines, more than {MAX_UI_LINES}"))

    if top != "platform":
        for pattern, what in POSIX_PATTERNS:
            for m in re.finditer(pattern, code):
                line = code.count("\n", 0, m.start()) + 1
                findings.append((f"posix: {path}: {what}", f"line {line}: system call outside platform/"))

    for m in INCLUDE.finditer(code):
        kind, name = m.group(1), m.group(2)
        line = code.count("\n", 0, m.start()) + 1
        if top in CORE_DIRS:
            if kind == "<" and (name.startswith("QtWidgets") or name in widget_headers):
                findings.append((f"layer: {path}: <{name}>", f"line {line}: widgets in a core library"))
            if kind == '"' and name.startswith("ui/"):
                findings.append((f"layer: {path}: {name}", f"line {line}: a window header in a core library"))
        if kind == '"':
            target = resolve(path, name)
            if target and module(target) != module(path):
                edges.setdefault(module(path), set()).add(module(target))

# Include cycles: every strongly connected group of more than one module (Tarjan, iterative).
index, low, on_stack, stack, groups = {}, {}, set(), [], []
counter = 0
for start in sorted(edges):
    if start in index:
        continue
    work = [(start, iter(sorted(edges.get(start, ()))))]
    index[start] = low[start] = counter
    counter += 1
    stack.append(start)
    on_stack.add(start)
    while work:
        node, children = work[-1]
        child = next(children, None)
        if child is not None:
            if child not in index:
                index[child] = low[child] = counter
                counter += 1
                stack.append(child)
                on_stack.add(child)
                work.append((child, iter(sorted(edges.get(child, ())))))
            elif child in on_stack:
                low[node] = min(low[node], index[child])
            continue
        work.pop()
        if work:
            low[work[-1][0]] = min(low[work[-1][0]], low[node])
        if low[node] == index[node]:
            group = []
            while True:
                member = stack.pop()
                on_stack.discard(member)
                group.append(member)
                if member == node:
                    break
            if len(group) > 1:
                groups.append(sorted(group))
for group in sorted(groups):
    members = set(group)
    links = [f"{a} -> {b}" for a in group for b in sorted(edges.get(a, ())) if b in members]
    findings.append((f"cycle: {' '.join(group)}", "includes " + ", ".join(links)))

failed = False
seen = set()
for key, detail in findings:
    seen.add(key)
    known = key in KNOWN
    failed |= not known
    print(f"{'known' if known else 'FOUND'}  {key}  ({detail})")
for key in sorted(KNOWN - seen):
    print(f"gone   {key}  (no longer found: remove it from the known list)")
if failed:
    print("check-structure: failed")
    sys.exit(1)
print("check-structure: passed")
EOF
