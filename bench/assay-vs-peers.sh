#!/usr/bin/env bash
# Times assay.exe (under Wine) against its peers on the same corpus, with the files
# already in the page cache:
#   assay --jobs 1 (one process) and --jobs 2 (two worker processes),
#   YARA with one and with two threads (yara -p 1|2 -r, rules in bench/assay-peers.yar),
#   python3-pefile (imports and resources, bench/assay-pefile.py), md5sum (the hashing
#   floor), cat (the I/O floor).
# The commands take turns, one run of each per round, so that a machine that speeds up
# or slows down during the benchmark does so for all of them. Prints the median wall
# seconds, files/s and MB/s of each, each one's time over assay --jobs 1's (1.0 or
# more: assay --jobs 1 is at least as fast), and the ratios the targets are about. Then
# times assay's analysis of a 16 MiB worst-case file: a real DLL followed by an overlay
# full of "MZ" headers that lead to "PE" signatures and of e-mail-like text.
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

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
"$build/wine-run.sh" --start-server
trap '"$build/wine-run.sh" --stop-server' EXIT
corpus_win="Z:${corpus//\//\\}"
worst_win="Z:${worst//\//\\}"

# The commands, by name; each runs $runs times, taking turns (output to files, never a
# pipe: $work/NAME.RUN.out). Their medians go to $work/times as "NAME seconds".
names=(assay assay-j2 yara yara-p2 pefile md5sum cat)
run_once() {  # run_once NAME RUN: appends the wall seconds to $work/NAME.samples
    local start end
    start=$(date +%s%N)
    case "$1" in
        assay) "$build/wine-run.sh" "$build/bin/assay.exe" --jobs 1 --json --quiet "$corpus_win" ;;
        assay-j2) "$build/wine-run.sh" "$build/bin/assay.exe" --jobs 2 --json --quiet "$corpus_win" ;;
        yara) yara -p 1 -r -w "$root/bench/assay-peers.yar" "$corpus" ;;
        yara-p2) yara -p 2 -r -w "$root/bench/assay-peers.yar" "$corpus" ;;
        pefile) $py "$root/bench/assay-pefile.py" "$corpus" ;;
        md5sum) find "$corpus" -type f -print0 | xargs -0 md5sum >/dev/null ;;
        cat) find "$corpus" -type f -print0 | xargs -0 cat >/dev/null ;;
    esac </dev/null >"$work/$1.$2.out" 2>"$work/$1.err" || true
    end=$(date +%s%N)
    awk -v ns=$((end - start)) 'BEGIN {printf "%.3f\n", ns / 1e9}' >>"$work/$1.samples"
}

echo "bench: $files files, $mib MiB, median of $runs runs each, taking turns" >&2
: >"$work/times"
for name in "${names[@]}"; do : >"$work/$name.samples"; done
for ((r = 0; r < runs; ++r)); do
    for name in "${names[@]}"; do run_once "$name" "$r"; done
done
for name in "${names[@]}"; do
    echo "$name $(sort -g "$work/$name.samples" | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}')" \
        >>"$work/times"
done
# assay's own summaries: the scan without Wine's start, median over the runs.
inside() {
    $py - "$work"/"$1".*.out <<'PYEOF'
import json, statistics, sys
print("%.2f" % statistics.median(
    json.loads(open(p).read().splitlines()[-1])["summary"]["seconds"] for p in sys.argv[1:]))
PYEOF
}
assay_inside=$(inside assay)
assay_j2_inside=$(inside assay-j2)
assay_flagged=$(grep -c '"verdict":"SUSPICIOUS"' "$work/assay.0.out" || true)
# Both ways of scanning must agree on every file.
$py - "$work/assay.0.out" "$work/assay-j2.0.out" <<'PYEOF' || echo "bench: WARNING: --jobs 1 and --jobs 2 disagree" >&2
import json, sys
def rows(path):
    out = [json.loads(l) for l in open(path) if l.strip()][:-1]
    for r in out:
        r.pop("ms")
    return out
sys.exit(rows(sys.argv[1]) != rows(sys.argv[2]))
PYEOF

worst_ms=()
for ((r = 0; r < runs; ++r)); do
    "$build/wine-run.sh" "$build/bin/assay.exe" --jobs 1 --json "$worst_win" </dev/null >"$work/worst.out" 2>"$work/worst.err" || true
    worst_ms+=("$($py -c 'import json,sys; print(json.loads(open(sys.argv[1]).readline())["ms"])' "$work/worst.out")")
done
worst_line=$(head -n 1 "$work/worst.out")

awk -v files="$files" -v bytes="$bytes" '
    { name[NR] = $1; secs[NR] = $2; at[$1] = $2 }
    END {
        printf "%-9s %9s %9s %9s %11s\n", "tool", "seconds", "files/s", "MB/s", "peer/assay"
        for (i = 1; i <= NR; ++i)
            printf "%-9s %9.2f %9.1f %9.1f %11.2f\n", name[i], secs[i], files / secs[i],
                   bytes / 1e6 / secs[i], secs[i] / at["assay"]
        printf "\n"
        printf "yara -p 1 / assay --jobs 1   %5.2f  (target 1.5 or more)\n", at["yara"] / at["assay"]
        printf "yara -p 2 / assay --jobs 2   %5.2f  (target 1.0 or more)\n", at["yara-p2"] / at["assay-j2"]
        printf "assay --jobs 1 / --jobs 2    %5.2f  (target 1.7 or more)\n", at["assay"] / at["assay-j2"]
    }' "$work/times"
echo
echo "corpus: $files files, $mib MiB in $corpus (page cache warm), median of $runs runs"
echo "processors: $(nproc); load average before the runs: $load_before, after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "assay wall time includes starting Wine; its own scan took ${assay_inside} s with --jobs 1 and ${assay_j2_inside} s with --jobs 2 (medians); it flagged $assay_flagged file(s)"
echo "worst case (16 MiB: $(cat "$worst.source") and an overlay): $(printf '%s\n' "${worst_ms[@]}" | sort -g | awk '{v[NR] = $1} END {printf "%.1f", v[int((NR + 1) / 2)]}') ms median analysis (target under 150 ms)"
echo "  $worst_line"
