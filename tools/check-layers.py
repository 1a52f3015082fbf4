#!/usr/bin/env python3
"""Fails when an include goes the wrong way between the source folders.

Each folder may include itself and the folders listed for it below, and
whatever those may include in turn; anything else, and any folder missing
from the table, is an error. A test folder tests/<x> may include what <x>
may, <x> itself and the test support folders. Usage: check-layers.py [root]
"""

import os
import re
import sys

ARCHIVER_BACKENDS = ["cab32", "tar32", "unarj32j", "unlha32", "unrar32", "unzip32"]
DIALOGS = ["archive_viewer", "sound_events", "options"]

# folder -> the folders directly below it that it may include.
ALLOWED = {
    "platform": [],
    "platform/qt": ["platform"],
    "platform/sound": ["platform"],
    "archivers/common": ["platform"],
    "archivers/libarchive": ["archivers/common"],
    "archivers/fuzz": ["archivers/" + b for b in ARCHIVER_BACKENDS] + ["archivers/libarchive"],
    "archive": ["platform"],
    "archive/wrappers": ["archive"],
    "core": ["platform"],
    "ui": ["core", "platform/qt"],
    "archive_viewer": ["ui", "archive/wrappers"],
    "sound_events": ["ui", "archive/wrappers"],
    "options": ["ui", "archive/wrappers"],
    "main": DIALOGS + ["ui", "archive/wrappers", "platform/qt"],
    "migrate": ["platform/qt"],
    "tools/demo": ["platform"],
    "tests/support": ["platform"],
    "tests/archivers/support": ["archivers/common", "tests/support"],
}
# Backends build on the common code and the libarchive walk, never on each other.
for backend in ARCHIVER_BACKENDS:
    ALLOWED["archivers/" + backend] = ["archivers/libarchive"]

TEST_SUPPORT = ["tests/support", "tests/archivers/support"]
# Beyond what the tested folder may include: the library interface test
# compiles the program's side of it against the libraries' side.
TEST_EXTRA = {"tests/archivers/common": ["archive"]}
ANYTHING = ["bench"]
SOURCE_SUFFIXES = (".h", ".hpp", ".c", ".cc", ".cpp", ".mm")
INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^>"]+)[>"]')


def below(folder, seen=None):
    """The folder and every folder it may include, directly or not."""
    seen = set() if seen is None else seen
    if folder not in seen:
        seen.add(folder)
        for lower in ALLOWED[folder]:
            below(lower, seen)
    return seen


def owner(path):
    """The table's folder that holds `path` (longest match), or None."""
    parts = path.split("/")
    for n in range(len(parts) - 1, 0, -1):
        candidate = "/".join(parts[:n])
        if candidate in ALLOWED or candidate in ANYTHING:
            return candidate
        if candidate.startswith("tests/") and tested_folder(candidate) is not None:
            return candidate
    return None


def tested_folder(folder):
    """For tests/<x>[/...], the source folder <x> whose rules apply."""
    rest = folder[len("tests/"):]
    while rest:
        if rest in ALLOWED:
            return rest
        rest = rest.rpartition("/")[0]
    return None


def permitted(folder):
    """The folders `folder` may include, or None for any."""
    if folder in ANYTHING:
        return None
    if folder in ALLOWED:
        return below(folder)
    # tests/<x> covers <x> and the folders inside it (tests/platform tests
    # platform/qt too).
    tested = tested_folder(folder)
    allowed = set()
    for other in ALLOWED:
        if other == tested or other.startswith(tested + "/"):
            allowed |= below(other)
    for extra in TEST_EXTRA.get(folder, []):
        allowed |= below(extra)
    for support in TEST_SUPPORT:
        allowed |= below(support)
    return allowed


def may_include(folder, allowed, target):
    if target in allowed or target == folder:
        return True
    # A test may use the tests of what it may include (their fakes, say).
    return target.startswith("tests/") and tested_folder(target) in allowed and folder not in ALLOWED


def resolve(include, including_dir, root):
    """The repository path an include names, or None for a system header."""
    for base in (including_dir, "", "tests"):
        candidate = os.path.normpath(os.path.join(base, include))
        if os.path.isfile(os.path.join(root, candidate)):
            return candidate
    return None


def table_errors():
    """Folders of the table that reach themselves: the table must have no cycle."""
    return [f"the layering table lets {folder}/ include itself through {lower}/"
            for folder in ALLOWED for lower in ALLOWED[folder] if folder in below(lower)]


def check(root):
    errors = table_errors()
    for top in sorted(os.listdir(root)):
        if top.startswith(".") or top.startswith("build") or not os.path.isdir(os.path.join(root, top)):
            continue
        for dirpath, dirnames, filenames in os.walk(os.path.join(root, top)):
            dirnames.sort()
            for name in sorted(filenames):
                if not name.endswith(SOURCE_SUFFIXES):
                    continue
                path = os.path.relpath(os.path.join(dirpath, name), root)
                folder = owner(path)
                if folder is None:
                    errors.append(f"{path}: its folder is not in the layering table of tools/check-layers.py")
                    continue
                allowed = permitted(folder)
                with open(os.path.join(root, path), encoding="utf-8", errors="replace") as source:
                    for number, line in enumerate(source, 1):
                        match = INCLUDE.match(line)
                        if not match:
                            continue
                        target = resolve(match.group(1), os.path.dirname(path), root)
                        if target is None or allowed is None:
                            continue
                        target_folder = owner(target)
                        if not may_include(folder, allowed, target_folder):
                            errors.append(f"{path}:{number}: {folder}/ may not include {target_folder}/ "
                                          f"(\"{match.group(1)}\")")
    return errors


def self_test():
    """The check itself: a downward include passes, an upward one and a
    backend-to-backend one fail."""
    import tempfile
    files = {
        "ui/window.h": '#include "core/state.h"\n',
        "core/state.h": "",
        "archivers/unrar32/reader.cpp": '#include "archivers/common/window.h"\n',
        "archivers/common/window.h": "",
    }
    with tempfile.TemporaryDirectory() as root:
        for name, text in files.items():
            os.makedirs(os.path.join(root, os.path.dirname(name)), exist_ok=True)
            with open(os.path.join(root, name), "w", encoding="utf-8") as out:
                out.write(text)
        if check(root):
            return ["a downward include was reported"]
        with open(os.path.join(root, "core/state.h"), "w", encoding="utf-8") as out:
            out.write('#include "ui/window.h"\n')
        with open(os.path.join(root, "archivers/unrar32/reader.cpp"), "a", encoding="utf-8") as out:
            out.write('#include "archivers/unlha32/window.h"\n')
        os.makedirs(os.path.join(root, "archivers/unlha32"))
        open(os.path.join(root, "archivers/unlha32/window.h"), "w").close()
        if len(check(root)) != 2:
            return ["an upward or a backend-to-backend include went unreported"]
    return []


def main():
    if sys.argv[1:] == ["--self-test"]:
        errors = self_test()
    else:
        errors = check(os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else
                                       os.path.join(os.path.dirname(__file__), "..")))
    for error in errors:
        print(error)
    if errors:
        print(f"{len(errors)} include(s) against the layering")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
