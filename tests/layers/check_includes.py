#!/usr/bin/env python3
"""Fails when a file of a folder's library includes a header of a library it does not
link, directly or through the libraries it links. The links are read from each folder's
talvern_library() calls (cmake/Talvern.cmake); the data of resources/ (texts, catalogues,
templates, command ids) may be included by every layer, its code only by what links it.

Usage: check_includes.py <source root>"""
import os
import re
import sys

ROOT = sys.argv[1] if len(sys.argv) > 1 else os.getcwd()
# Code of resources/: the rest of the folder is data.
RESOURCE_CODE = {"resources/AppResources.h"}


def folders():
    text = open(os.path.join(ROOT, "CMakeLists.txt"), encoding="utf-8").read()
    listed = re.search(r"set\(TALVERN_FOLDERS(.*?)\)", text, re.S).group(1).split()
    return [f for f in listed if os.path.exists(os.path.join(ROOT, f, "CMakeLists.txt"))]


def libraries(folder):
    """(name, deps, files or None) for each talvern_library() of the folder, in order."""
    text = open(os.path.join(ROOT, folder, "CMakeLists.txt"), encoding="utf-8").read()
    text = re.sub(r"#[^\n]*", "", text)
    found = []
    for call in re.finditer(r"talvern_library\(([^)]*)\)", text):
        words = call.group(1).replace("$<TARGET_NAME_IF_EXISTS:", "").replace(">", "").split()
        name, section, deps, files = words[0], None, [], None
        for w in words[1:]:
            if w in ("DEPS", "SOURCES", "FILES"):
                section = w
                if w == "FILES":
                    files = []
            elif section == "DEPS":
                deps.append(w)
            elif section == "FILES":
                files.append(w)
        found.append((name, deps, files))
    return found


def main():
    owner = {}  # source or header path -> library
    deps = {}
    sources = []
    for folder in folders():
        claimed = set()
        for name, links, files in libraries(folder):
            deps[name] = [d for d in links if d.startswith("talvern_")]
            if files is not None:
                for f in files:
                    for part in (f, re.sub(r"\.cpp$", ".h", f)):
                        path = f"{folder}/{part}"
                        if os.path.exists(os.path.join(ROOT, path)):
                            owner[path] = name
                            claimed.add(path)
                continue
            for entry in sorted(os.listdir(os.path.join(ROOT, folder))):
                path = f"{folder}/{entry}"
                if entry.endswith((".cpp", ".h")) and path not in claimed:
                    owner[path] = name
        sources += [p for p in owner if p.startswith(folder + "/") and p.count("/") == folder.count("/") + 1]

    def closure(name, seen):
        if name in seen:
            return seen
        seen.add(name)
        for d in deps.get(name, []):
            closure(d, seen)
        return seen

    faults = []
    include = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
    for path in sorted(set(sources)):
        lib = owner[path]
        allowed = closure(lib, set())
        text = open(os.path.join(ROOT, path), encoding="utf-8").read()
        for header in include.findall(text):
            if header.startswith("resources/") and header not in RESOURCE_CODE:
                continue
            target = owner.get(header)
            if target is None:
                if os.path.exists(os.path.join(ROOT, header)):
                    faults.append(f"{path}: {header} belongs to no library")
                continue
            if target not in allowed:
                faults.append(f"{path} ({lib}) includes {header} of {target}, which it does not link")
    for f in faults:
        print(f)
    print(f"{len(set(sources))} files checked, {len(faults)} includes outside their links")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
