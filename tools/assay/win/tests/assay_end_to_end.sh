#!/usr/bin/env bash
# assay.exe end to end under Wine:
#   assay_end_to_end.sh WINE_RUN ASSAY_EXE SAMPLES_DIR WORK_DIR
# Usage errors, an unreadable path, the demonstration samples with and without a
# configuration, JSON lines, a file past the analyser's 16 MiB, a file under the
# Windows directory (its creation time matters there), analysts' signature databases,
# and two runs over a fixed sample of Wine's own PE files that must agree.
set -u
export LC_ALL=C  # one file order, whatever the caller's locale
wine_run=$1 assay=$2 samples=$3 work=$4
. "${BASH_SOURCE%/*}/e2e_common.sh"

rm -rf "$work"
mkdir -p "$work"

# Runs assay with the given arguments (see run_wine). Sets $status.
run() { run_wine "$assay" "$@"; }

for f in dropper.exe svch0st.exe report.doc.exe textpad.exe; do
    [ -f "$samples/$f" ] || { echo "missing sample $samples/$f (build assay_demo_samples)"; exit 1; }
done

# --- the samples carry the traits they were made with, read by an independent parser
"$py" - "$samples" <<'PYEOF' || fail "sample traits"
import os, sys, pefile
d = sys.argv[1]
listed = {b"GetProcAddress", b"Sleep", b"CreateProcessA", b"CreateThread"}
def imports(pe):
    return [i.name for e in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []) for i in e.imports]
for name in ("dropper.exe", "svch0st.exe", "report.doc.exe"):
    pe = pefile.PE(os.path.join(d, name))
    names = imports(pe)
    assert len(names) <= 5 and listed & set(names), (name, names)
dropper = open(os.path.join(d, "dropper.exe"), "rb").read()
pe = pefile.PE(data=dropper)
overlay = pe.get_overlay_data_start_offset()
assert overlay and dropper[overlay:overlay + 2] == b"MZ", overlay
assert pefile.PE(data=dropper[overlay:]).is_exe()
assert b".crypt" in [s.Name.rstrip(b"\0") for s in pe.sections]
assert b"drop.master@example.com" in dropper
assert b"svc.update@mirror.example.net" in open(os.path.join(d, "svch0st.exe"), "rb").read()
textpad = pefile.PE(os.path.join(d, "textpad.exe"))
assert len(imports(textpad)) > 5 and not listed & set(imports(textpad))
assert hasattr(textpad, "VS_VERSIONINFO")
PYEOF

# --- usage errors: exit 2 and a reason on stderr, nothing scanned
run
[ $status -eq 2 ] || fail "no arguments: exit $status, want 2"
grep -q '^usage: assay' "$work/err" || fail "no arguments: no usage text"
run --frobnicate "$(win "$samples")"
[ $status -eq 2 ] || fail "unknown option: exit $status, want 2"
[ -s "$work/out.txt" ] && fail "unknown option: something was scanned"
run --config "$(win "$work/no-such.ini")" "$(win "$samples")"
[ $status -eq 2 ] || fail "missing configuration: exit $status, want 2"
for jobs in 1 2; do  # a scan log that cannot be opened, in either mode
    run --jobs $jobs --log "$(win "$work/no-such-folder/log.txt")" "$(win "$samples")"
    [ $status -eq 2 ] || fail "--log unopenable, $jobs jobs: exit $status, want 2"
    [ -s "$work/out.txt" ] && fail "--log unopenable, $jobs jobs: something was scanned"
    grep -q 'no-such-folder' "$work/err" || fail "--log unopenable: no reason on stderr"
done
run --help
[ $status -eq 0 ] || fail "--help: exit $status"

# --- a missing file is reported and skipped; the rest is still scanned
run "$(win "$work/not-here.exe")" "$(win "$samples/textpad.exe")"
[ $status -eq 0 ] || fail "missing file: exit $status, want 0"
grep -q '^error .*cannot open: .*not-here\.exe$' "$work/out.txt" || fail "missing file not reported"
grep -q '^clean .*textpad\.exe$' "$work/out.txt" || fail "file after a missing one not scanned"
grep -q '^files 2, suspicious 0, errors 1,' "$work/out.txt" || fail "summary after a missing file"
[ -s "$work/err" ] && fail "stderr not empty: $(cat "$work/err")"

# --- the built-in weights: the three made-up threats are flagged for the traits they
# were given, the ordinary program is not
run "$(win "$samples")"
[ $status -eq 1 ] || fail "samples: exit $status, want 1"
expect() {  # expect VERDICT FILE LETTERS: the line of FILE has VERDICT and every letter
    local line
    line=$(grep -E "[\\]$2\$" "$work/out.txt")
    [[ "$line" == "$1 "* ]] || fail "$2: want $1, got: $line"
    local hits=${line:17}
    hits=${hits%  Z:*}  # the path off
    for ((k = 0; k < ${#3}; ++k)); do
        [[ "$hits" == *"${3:$k:1}:"* ]] || fail "$2: no hit ${3:$k:1} in: $line"
    done
}
expect SUSPICIOUS 'dropper\.exe' CMNO
expect SUSPICIOUS 'svch0st\.exe' CJM
expect SUSPICIOUS 'report\.doc\.exe' CGM
expect clean 'textpad\.exe' ''
grep -q '^files 4, suspicious 3, errors 0,' "$work/out.txt" || fail "samples summary"

# --- a low threshold makes the double extension suspicious: exit 1, hits spelt out
printf '[ITEMCOUNT]\r\nnum=0\r\n[THRESHOLD]\r\nvalue=50\r\n' >"$work/low.ini"
run --config "$(win "$work/low.ini")" "$(win "$samples")"
[ $status -eq 1 ] || fail "low threshold: exit $status, want 1"
grep -Eq '^SUSPICIOUS +[0-9]+  .*G:MultiExtName.*report\.doc\.exe$' "$work/out.txt" \
    || fail "report.doc.exe not suspicious under threshold 50"
grep -q '^files 4, ' "$work/out.txt" || fail "not 4 samples scanned"
# A relative configuration path is taken from the current directory.
(cd "$work" && "$wine_run" "$assay" --quiet --config low.ini "$(win "$samples/report.doc.exe")" \
    </dev/null >"$work/out" 2>"$work/err")
[ $? -eq 1 ] || fail "relative --config not read from the current directory"

# --- --quiet leaves out clean lines but keeps the summary
run --quiet "$(win "$samples/textpad.exe")"
[ "$(grep -c . "$work/out.txt")" -eq 1 ] || fail "--quiet printed clean lines"

# --- --json: every line parses; fields as documented
run --json --config "$(win "$work/low.ini")" "$(win "$samples")" "$(win "$work/not-here.exe")"
[ $status -eq 1 ] || fail "--json: exit $status, want 1"
"$py" - "$work/out.txt" <<'PYEOF' || fail "--json lines"
import json, sys
lines = [json.loads(l) for l in open(sys.argv[1], encoding="utf-8") if l.strip()]
files, summary = lines[:-1], lines[-1]["summary"]
assert len(files) == 5, files
by_name = {f["path"].split("\\")[-1]: f for f in files}
assert by_name["report.doc.exe"]["verdict"] == "SUSPICIOUS", by_name["report.doc.exe"]
assert "MultiExtName" in by_name["report.doc.exe"]["features"]
assert by_name["not-here.exe"]["verdict"] == "error" and by_name["not-here.exe"]["score"] is None
for f in files:
    assert len(f["hits"]) == len(f["features"]), f
    assert f["path"].startswith("Z:\\"), f
assert summary["files"] == 5 and summary["errors"] == 1 and summary["suspicious"] >= 1, summary
PYEOF

# --- a file past 16 MiB and an empty one
cp "$samples/textpad.exe" "$work/big.exe" && truncate -s 17M "$work/big.exe"
: >"$work/empty.exe"
run --json "$(win "$work/big.exe")" "$(win "$work/empty.exe")"
"$py" - "$work/out.txt" <<'PYEOF' || fail "large and empty files"
import json, sys
big, empty, summary = [json.loads(l) for l in open(sys.argv[1]) if l.strip()]
assert big["size"] == 17 * 1024 * 1024 and "F" in big["hits"], big
assert empty["size"] == 0 and empty["verdict"] == "clean" and empty["score"] == 0, empty
PYEOF

# --- under the Windows directory, a new file is recent: the creation time arrives
prefix_windows=$(sed -n 's/^export WINEPREFIX="\(.*\)"$/\1/p' "$wine_run")/drive_c/windows
if [ -d "$prefix_windows" ]; then
    mkdir -p "$prefix_windows/assay-e2e"
    cp "$samples/report.doc.exe" "$prefix_windows/assay-e2e/1report.doc.exe"
    run --json 'C:\windows\assay-e2e\1report.doc.exe'
    rm -rf "$prefix_windows/assay-e2e"
    "$py" - "$work/out.txt" <<'PYEOF' || fail "file under the Windows directory"
import json, sys
f = json.loads(open(sys.argv[1]).readline())
for letter in "ADGI":  # number prefix, in Windows dir, double extension, recent
    assert letter in f["hits"], f
PYEOF
fi

# --- analysts' signature databases: one that cannot be read is a usage error; a row
# written from a sample's entry code makes a packer hit (K) under the Windows directory
run --signatures "$(win "$work/no-such-db.txt")" "$(win "$samples/textpad.exe")"
[ $status -eq 2 ] || fail "missing signature database: exit $status, want 2"
grep -q 'cannot open .*no-such-db\.txt' "$work/err" || fail "missing database: $(cat "$work/err")"
[ -s "$work/out.txt" ] && fail "missing signature database: something was scanned"
if [ -d "$prefix_windows" ]; then
    "$py" - "$samples/textpad.exe" "$work/mine.txt" <<'PYEOF' || fail "database from textpad.exe"
import sys, pefile
pe = pefile.PE(sys.argv[1])
at = pe.get_offset_from_rva(pe.OPTIONAL_HEADER.AddressOfEntryPoint)
code = open(sys.argv[1], "rb").read()[at:at + 6]
signature = " ".join("??" if i == 2 else "%02X" % b for i, b in enumerate(code))
with open(sys.argv[2], "w", newline="\r\n") as db:
    db.write("; mine\n[Textpad Packer 1.0 -> e2e]\nsignature = %s\nep_only = true\n" % signature)
PYEOF
    mkdir -p "$prefix_windows/assay-sig"
    cp "$samples/textpad.exe" "$prefix_windows/assay-sig/textpad.exe"
    run --json 'C:\windows\assay-sig\textpad.exe'
    cp "$work/out.txt" "$work/without.txt"
    run --json --signatures "$(win "$work/mine.txt")" 'C:\windows\assay-sig\textpad.exe' \
        "$(win "$samples/textpad.exe")"
    rm -rf "$prefix_windows/assay-sig"
    tr -d '\r' <"$work/err" | grep -q '^assay: signatures from .*mine\.txt: 1 added; 0 skipped$' \
        || fail "signature database message: $(cat "$work/err")"
    "$py" - "$work/without.txt" "$work/out.txt" <<'PYEOF' || fail "packer hit from a loaded database"
import json, sys
without = json.loads(open(sys.argv[1]).readline())
inside, outside = [json.loads(l) for l in open(sys.argv[2]) if l.strip()][:2]
assert "K" not in without["hits"], without
assert "K" in inside["hits"] and inside["score"] == without["score"] + 30, (without, inside)
assert "K" not in outside["hits"], outside
PYEOF
fi
if [ -f /usr/share/pev/userdb.txt ]; then
    run --signatures 'Z:\usr\share\pev\userdb.txt' "$(win "$samples/textpad.exe")"
    [ $status -eq 0 ] || fail "pev's database: exit $status"
    tr -d '\r' <"$work/err" | grep -Eq '^assay: signatures from .*userdb\.txt: [0-9]{4,} added; [0-9]+ skipped' \
        || fail "pev's database: $(cat "$work/err")"
fi

# --- Wine's own PE files: 40 chosen by name, scanned twice, the same answers
corpus=/usr/lib/i386-linux-gnu/wine/i386-windows
if [ -d "$corpus" ]; then
    all=()
    for f in "$corpus"/*; do
        case "${f,,}" in *.dll | *.exe | *.sys | *.drv | *.ocx | *.cpl) all+=("$f") ;; esac
    done
    pick_spread 40 "${all[@]}"
    run --json "${picked[@]}"; cp "$work/out.txt" "$work/corpus1.txt"; s1=$status
    run --json "${picked[@]}"; cp "$work/out.txt" "$work/corpus2.txt"; s2=$status
    [ $s1 -eq $s2 ] || fail "corpus: exit $s1 then $s2"
    "$py" - "$work/corpus1.txt" "$work/corpus2.txt" "${#picked[@]}" <<'PYEOF' || fail "corpus runs differ"
import json, sys
def load(path):
    rows = [json.loads(l) for l in open(path, encoding="utf-8") if l.strip()]
    for r in rows[:-1]:
        r.pop("ms")
    return rows[:-1], rows[-1]["summary"]
a, sa = load(sys.argv[1])
b, sb = load(sys.argv[2])
assert len(a) == int(sys.argv[3]), len(a)
assert a == b, [(x, y) for x, y in zip(a, b) if x != y][:3]
assert all(r["verdict"] != "error" for r in a), [r for r in a if r["verdict"] == "error"]
assert (sa["files"], sa["suspicious"]) == (sb["files"], sb["suspicious"])
PYEOF
else
    echo "note: $corpus absent; corpus runs skipped"
fi

finish "assay end to end"
