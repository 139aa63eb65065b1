#!/usr/bin/python3
"""A peer for bench/assay-vs-peers.sh: python3-pefile reads the section names, the
named imports and the resource tree of every file under the given folders (one
process, one thread). Prints one summary line; the per-file answers are not kept."""
import os
import sys

import pefile

DIRECTORIES = [
    pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_IMPORT"],
    pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"],
]


def walk_resources(directory, depth=0):
    count = 0
    for entry in getattr(directory, "entries", []):
        if hasattr(entry, "directory") and depth < 3:
            count += walk_resources(entry.directory, depth + 1)
        elif hasattr(entry, "data"):
            count += 1
    return count


def examine(path):
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories(directories=DIRECTORIES)
    sections = [s.Name.rstrip(b"\0") for s in pe.sections]
    imports = [i.name for d in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []) for i in d.imports if i.name]
    resources = walk_resources(getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None))
    pe.close()
    return len(sections), len(imports), resources


def main():
    files = failures = imports = resources = 0
    for top in sys.argv[1:]:
        for folder, _, names in os.walk(top):
            for name in sorted(names):
                files += 1
                try:
                    _, n_imports, n_resources = examine(os.path.join(folder, name))
                    imports += n_imports
                    resources += n_resources
                except Exception:  # a damaged file is counted, not fatal
                    failures += 1
    print(f"pefile: {files} files, {imports} named imports, {resources} resources, "
          f"{failures} unreadable")


if __name__ == "__main__":
    main()
