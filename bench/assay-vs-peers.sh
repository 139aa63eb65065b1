#!/usr/bin/env bash
# Times assay.exe (under Wine, one thread) against its peers on the same corpus, with
# the files already in the page cache:
#   YARA (yara -p 1 -r, rules in bench/assay-peers.yar), python3-pefile (imports and
#   resources, bench/assay-pefile.py), md5sum (the hashing floor), cat (the I/O floor).
# Prints the median wall seconds, files/s and MB/s of each, and each peer's time over
# assay's (a ratio of 1.0 or more: assay is at least as fast). Then times assay's
# analysis of a 16 MiB worst-case file: a real DLL followed by an overlay full of "MZ"
# headers that lead to "PE" signatures and of e-mail-like text.
#   bash bench/assay-vs-peers.sh [RUNS]        RUNS default 3
# ASSAY_BUILD_DIR names the windows tree to use (default build/windows).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
runs=${1:-3}
build=${ASSAY_BUILD_DIR:-$root/build/windows}
corpus=$root/build/corpus
work=$root/build/assay-bench
py=/usr/bin/python3
mkdir -p "$work"

if ! command -v yara >/dev/null; then
    [ "$(id -u)" -eq 0 ] || { echo "bench: yara missing (apt-get install -y yara)" >&2; exit 1; }
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq yara >"$work/apt.log" 2>&1
fi
$py -c 'import pefile' || { echo "bench: python3-pefile missing" >&2; exit 1; }

echo "bench: building assay.exe and Assayer.dll in $build" >&2
if [ -n "${ASSAY_BUILD_DIR:-}" ]; then
    cmake --build "$build" -j 2 --target assay Assayer >"$work/build.log" 2>&1
else
    [ -f "$build/CMakeCache.txt" ] || cmake --preset windows >"$work/build.log" 2>&1
    cmake --build --preset windows --target assay Assayer >"$work/build.log" 2>&1
fi
bash bench/corpus.sh "$corpus" >"$work/corpus.txt"
read -r _ files _ mib _ <"$work/corpus.txt"
bytes=$(find "$corpus" -type f -printf '%s\n' | awk '{s += $1} END {print s}')

# The worst case: the largest corpus DLL under 12 MiB, filled up to 16 MiB.
worst=$work/worst/worst16.dll
mkdir -p "$work/worst"
$py - "$corpus" "$worst" <<'PYEOF'
import os, struct, sys
corpus, out = sys.argv[1], sys.argv[2]
dlls = [os.path.join(corpus, n) for n in os.listdir(corpus) if n.endswith(".dll")]
base = max((p for p in dlls if os.path.getsize(p) < 12 << 20), key=os.path.getsize)
data = bytearray(open(base, "rb").read())
# 128-byte units: an "MZ" header whose e_lfanew (offset 60) leads to "PE\0\0" 64 bytes
# on, then an address-like text.
unit = bytearray(b"MZ" + b"\x90" * 58 + struct.pack("<I", 64) + b"PE\0\0")
unit += b" mail to: some.body%04d@mail-host.example.org; " % 0
unit += b"." * (128 - len(unit))
while len(data) < 16 << 20:
    data += unit
open(out, "wb").write(data[: 16 << 20])
open(out + ".source", "w").write(os.path.basename(base))
PYEOF

# Everything into the page cache, twice over.
for _ in 1 2; do find "$corpus" "$work/worst" -type f -exec cat {} + >/dev/null; done

"$build/wine-run.sh" --start-server
trap '"$build/wine-run.sh" --stop-server' EXIT
corpus_win="Z:${corpus//\//\\}"
worst_win="Z:${worst//\//\\}"

# run_timed NAME COMMAND...: runs the command $runs times (output to files, never a
# pipe: $work/NAME.RUN.out) and appends "NAME median-seconds" to $work/times.
: >"$work/times"
run_timed() {
    local name=$1; shift
    local samples=()
    for ((r = 0; r < runs; ++r)); do
        local start end
        start=$(date +%s%N)
        "$@" </dev/null >"$work/$name.$r.out" 2>"$work/$name.err" || true
        end=$(date +%s%N)
        samples+=("$(awk -v ns=$((end - start)) 'BEGIN {printf "%.3f", ns / 1e9}')")
    done
    local median
    median=$(printf '%s\n' "${samples[@]}" | sort -g | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}')
    echo "$name $median" >>"$work/times"
}

echo "bench: $files files, $mib MiB, median of $runs runs each" >&2
run_timed assay "$build/wine-run.sh" "$build/bin/assay.exe" --json --quiet "$corpus_win"
# assay's own summary: the scan without Wine's start, median over the runs.
assay_inside=$($py - "$work"/assay.*.out <<'PYEOF'
import json, statistics, sys
print("%.2f" % statistics.median(
    json.loads(open(p).read().splitlines()[-1])["summary"]["seconds"] for p in sys.argv[1:]))
PYEOF
)
assay_flagged=$(grep -c '"verdict":"SUSPICIOUS"' "$work/assay.0.out" || true)
run_timed yara yara -p 1 -r -w "$root/bench/assay-peers.yar" "$corpus"
run_timed pefile $py "$root/bench/assay-pefile.py" "$corpus"
run_timed md5sum sh -c 'find "$1" -type f -print0 | xargs -0 md5sum >/dev/null' sh "$corpus"
run_timed cat sh -c 'find "$1" -type f -print0 | xargs -0 cat >/dev/null' sh "$corpus"

worst_ms=()
for ((r = 0; r < runs; ++r)); do
    "$build/wine-run.sh" "$build/bin/assay.exe" --json "$worst_win" </dev/null >"$work/worst.out" 2>"$work/worst.err" || true
    worst_ms+=("$($py -c 'import json,sys; print(json.loads(open(sys.argv[1]).readline())["ms"])' "$work/worst.out")")
done
worst_line=$(head -n 1 "$work/worst.out")

awk -v files="$files" -v bytes="$bytes" '
    { name[NR] = $1; secs[NR] = $2; if ($1 == "assay") base = $2 }
    END {
        printf "%-8s %9s %9s %9s %11s\n", "tool", "seconds", "files/s", "MB/s", "peer/assay"
        for (i = 1; i <= NR; ++i)
            printf "%-8s %9.2f %9.1f %9.1f %11.2f\n", name[i], secs[i], files / secs[i],
                   bytes / 1e6 / secs[i], secs[i] / base
    }' "$work/times"
echo
echo "corpus: $files files, $mib MiB in $corpus (page cache warm), median of $runs runs"
echo "assay wall time includes starting Wine; its own scan took ${assay_inside} s (median); it flagged $assay_flagged file(s)"
echo "worst case (16 MiB: $(cat "$worst.source") and an overlay): $(printf '%s\n' "${worst_ms[@]}" | sort -g | awk '{v[NR] = $1} END {printf "%.1f", v[int((NR + 1) / 2)]}') ms median analysis (target under 150 ms)"
echo "  $worst_line"
