#!/usr/bin/env bash
# Gathers the real corpus for assay's end-to-end runs and benchmarks into one folder:
# the 32-bit PE files that Debian's wine32:i386 installs and the mingw-w64 runtime
# DLLs (none of them written here).
#   bash bench/corpus.sh [DIR]      default DIR: build/corpus (git-ignored)
# Files are hard links where the file system allows, copies otherwise (a symbolic
# link would be followed differently by each tool). Names are made unique with the
# source folder; 16-bit and VxD images are left out. Prints DIR, file count and MiB.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build/corpus}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)

sources=(/usr/lib/i386-linux-gnu/wine/i386-windows)
for d in /usr/lib/gcc/i686-w64-mingw32/*/ /usr/i686-w64-mingw32/lib/; do
    [ -d "$d" ] && sources+=("${d%/}")
done
[ -d "${sources[0]}" ] || { echo "corpus: ${sources[0]} missing (apt-get install wine32:i386)" >&2; exit 1; }

# Keeps a file when it is a PE32 image for i386: "MZ", e_lfanew inside the file,
# "PE\0\0" there and machine 0x14C.
/usr/bin/python3 - "$dir" "${sources[@]}" <<'PYEOF'
import os, shutil, struct, sys

target, sources = sys.argv[1], sys.argv[2:]
wine = sources[0]

def is_pe32_i386(path):
    try:
        with open(path, "rb") as f:
            head = f.read(64)
            if len(head) < 64 or head[:2] != b"MZ":
                return False
            lfanew = struct.unpack_from("<I", head, 60)[0]
            f.seek(lfanew)
            nt = f.read(6)
            return len(nt) == 6 and nt[:4] == b"PE\0\0" and struct.unpack_from("<H", nt, 4)[0] == 0x14C
    except OSError:
        return False

wanted = {}
for source in sources:
    if source == wine:
        prefix = ""
    else:  # /usr/lib/gcc/i686-w64-mingw32/12-posix -> mingw-12-posix-
        prefix = "mingw-" + os.path.basename(source).replace("lib", "runtime") + "-"
    for name in sorted(os.listdir(source)):
        path = os.path.join(source, name)
        if source != wine and not name.endswith(".dll"):
            continue
        if os.path.isfile(path) and is_pe32_i386(path):
            wanted[prefix + name] = path

for name in os.listdir(target):  # drop what the sources no longer have
    if name not in wanted:
        os.unlink(os.path.join(target, name))
total = 0
for name, path in sorted(wanted.items()):
    dest = os.path.join(target, name)
    if os.path.exists(dest) and os.path.samefile(dest, path):
        pass
    elif os.path.exists(dest) and os.path.getsize(dest) == os.path.getsize(path) \
            and os.path.getmtime(dest) >= os.path.getmtime(path):
        pass
    else:
        if os.path.lexists(dest):
            os.unlink(dest)
        try:
            os.link(path, dest)
        except OSError:
            shutil.copy2(path, dest)
    total += os.path.getsize(dest)
print(f"{target} {len(wanted)} files {total / 1048576:.1f} MiB")
PYEOF
