#!/usr/bin/env bash
# assay.exe's parallel scan end to end under Wine:
#   assay_jobs_end_to_end.sh WINE_RUN ASSAY_EXE FAULTS_DLL SAMPLES_DIR WORK_DIR
# 1. A fixed sample of Wine's own PE files (with an unreadable path, an empty file and a
#    name outside the ANSI code page) gives the same lines with --jobs 1 and --jobs 3,
#    table and JSON, timings aside.
# 2. With an analyser that crashes, hangs or vanishes on marked files (FAULTS_DLL, put
#    beside a copy of assay.exe as Assayer.dll) the scan goes on: each marked file is an
#    error, tried once; the others get the verdicts of the real analyser; exit status 3.
# 3. Ending the parent (killed, or Ctrl-C) ends its workers; Ctrl-C prints a summary.
set -u
# One file order whatever the caller's locale, and file names that Wine reads as UTF-8.
export LC_ALL=C.UTF-8
wine_run=$1 assay=$2 faults_dll=$3 samples=$4 work=$5
. "${BASH_SOURCE%/*}/e2e_common.sh"

rm -rf "$work"
mkdir -p "$work"

# Lines without what depends on time: the JSON "ms" and the summary's rates.
untimed() {
    "$py" - "$1" <<'PYEOF'
import json, re, sys
# Table lines are in the ANSI code page, not UTF-8: their bytes are kept as they are.
for line in open(sys.argv[1], encoding="utf-8", errors="surrogateescape"):
    line = line.rstrip("\n")
    if line.startswith("{"):
        o = json.loads(line)
        o.pop("ms", None)
        for key in ("seconds", "files_per_second"):
            o.get("summary", {}).pop(key, None)
        line = json.dumps(o, sort_keys=True)
    else:
        line = re.sub(r" in [0-9.]+ s, [0-9.]+ files/s$", "", line)
    sys.stdout.buffer.write(line.encode("utf-8", errors="surrogateescape") + b"\n")
PYEOF
}

# --- 1. the same lines from one process and from three workers
corpus=/usr/lib/i386-linux-gnu/wine/i386-windows
if [ -d "$corpus" ]; then
    pick_spread 40 "$corpus"/*.dll "$corpus"/*.exe
    : >"$work/empty.exe"
    # A name the ANSI code page cannot spell travels to the workers as it is.
    mkdir -p "$work/names"
    cp "$samples/svch0st.exe" "$work/names/caf$(printf '\xc3\xa9')-$(printf '\xe4\xb8\xad').exe"
    picked+=("$(win "$work/empty.exe")" "$(win "$work/not-here.exe")" "$(win "$samples")"
             "$(win "$work/names")")
    for format in --json --table; do
        options=(); [ "$format" = --json ] && options=(--json)
        run_wine "$assay" ${options[@]+"${options[@]}"} --jobs 1 "${picked[@]}"; s1=$status
        untimed "$work/out.txt" >"$work/one$format.txt"
        run_wine "$assay" ${options[@]+"${options[@]}"} --jobs 3 "${picked[@]}"; s3=$status
        untimed "$work/out.txt" >"$work/three$format.txt"
        [ -s "$work/err" ] && fail "$format --jobs 3: stderr: $(cat "$work/err")"
        [ "$s1" -eq 1 ] && [ "$s3" -eq 1 ] || fail "$format: exit $s1 and $s3, want 1 (the samples)"
        [ "$(wc -l <"$work/one$format.txt")" -eq $((${#picked[@]} + 4)) ] \
            || fail "$format: $(wc -l <"$work/one$format.txt") lines"
        cmp -s "$work/one$format.txt" "$work/three$format.txt" \
            || fail "$format: --jobs 1 and --jobs 3 differ: $(diff "$work/one$format.txt" "$work/three$format.txt" | head -5)"
    done
else
    echo "note: $corpus absent; the comparison of one and three jobs is skipped"
fi

# --- 2. an analyser that crashes, hangs and vanishes on marked files
faults=$work/faults
mkdir -p "$faults" "$work/scan"
cp "$assay" "$faults/assay.exe"
cp "$faults_dll" "$faults/Assayer.dll"
cp "$samples/textpad.exe" "$work/scan/a.exe"
cp "$samples/textpad.exe" "$work/scan/b-crash-here.exe"
cp "$samples/dropper.exe" "$work/scan/c.exe"
cp "$samples/textpad.exe" "$work/scan/d-hang-here.exe"
cp "$samples/svch0st.exe" "$work/scan/e.exe"
cp "$samples/textpad.exe" "$work/scan/f-vanish-here.exe"
cp "$samples/report.doc.exe" "$work/scan/g.exe"
run_wine "$assay" --json --jobs 1 "$(win "$work/scan")"  # the real analyser's verdicts
cp "$work/out.txt" "$work/real.txt"
run_wine "$faults/assay.exe" --json --jobs 2 --timeout 5 "$(win "$work/scan")"
[ $status -eq 3 ] || fail "faults: exit $status, want 3 (a crash wins over suspicious files)"
[ -s "$work/err" ] && fail "faults: stderr: $(cat "$work/err")"
"$py" - "$work/real.txt" "$work/out.txt" "$faults/faults.log" <<'PYEOF' || fail "faults: lines"
import json, sys
def lines(path):
    rows = [json.loads(l) for l in open(path) if l.strip()]
    return {r["path"].split("\\")[-1]: r for r in rows[:-1]}, rows[-1]["summary"]
real, _ = lines(sys.argv[1])
got, summary = lines(sys.argv[2])
order = [json.loads(l)["path"].split("\\")[-1] for l in open(sys.argv[2]) if '"path"' in l]
assert order == sorted(real), order
want = {
    "b-crash-here.exe": "analyser crashed: exception 0xC0000005",
    "d-hang-here.exe": "analyser hung: no verdict within 5 s",
    "f-vanish-here.exe": "analyser crashed: its worker ended with status 9",
}
for name, row in got.items():
    if name in want:
        assert row["verdict"] == "error" and row["error"] == want[name], row
    else:
        for key in ("verdict", "score", "hits", "size"):
            assert row[key] == real[name][key], (row, real[name])
assert got["c.exe"]["verdict"] == "SUSPICIOUS", got["c.exe"]
assert (summary["files"], summary["errors"], summary["crashed"]) == (7, 3, 3), summary
tries = sorted(open(sys.argv[3]).read().split("\n"))
assert [t.split(" ")[0] for t in tries if t] == ["crash", "hang", "vanish"], tries
PYEOF
run_wine "$faults/assay.exe" --jobs 3 --timeout 5 "$(win "$work/scan/b-crash-here.exe")" \
    "$(win "$work/scan/a.exe")"
grep -q '^error .*analyser crashed: exception 0xC0000005 .*b-crash-here\.exe$' "$work/out.txt" \
    || fail "table: crash line: $(cat "$work/out.txt")"
grep -q '^clean .*a\.exe$' "$work/out.txt" || fail "table: the file after the crash"
grep -q '^files 2, suspicious 0, errors 1 (1 crashed),' "$work/out.txt" || fail "table: summary"
[ $status -eq 3 ] || fail "table: exit $status, want 3"
# In one process a crash still ends the scan, naming the file.
run_wine "$faults/assay.exe" --jobs 1 "$(win "$work/scan")"
[ $status -eq 3 ] || fail "one process: exit $status, want 3"
grep -q 'exception 0xC0000005 while scanning .*b-crash-here\.exe' "$work/err" \
    || fail "one process: stderr: $(cat "$work/err")"
grep -q '^clean .*a\.exe$' "$work/out.txt" || fail "one process: the line before the crash"

# --- 3. the workers end with the parent
# Lists the processes of the faulty copy that are still alive (zombies aside).
left() {
    ps -eo stat=,args= | awk '$1 !~ /^Z/' | grep -F -e "$faults/assay.exe" -e "$(win "$faults")\assay.exe"
}
# Starts the faulty copy on the scan folder in the background and waits until a worker
# hangs; sets $parent.
start_hanging() {
    rm -f "$faults/faults.log"
    "$wine_run" "$faults/assay.exe" --jobs 2 --timeout 600 "$(win "$work/scan/a.exe")" \
        "$(win "$work/scan/d-hang-here.exe")" "$(win "$work/scan/c.exe")" \
        "$(win "$work/scan/e.exe")" </dev/null >"$work/out" 2>"$work/err" &
    parent=$!
    for _ in $(seq 1 300); do
        grep -q '^hang' "$faults/faults.log" 2>/dev/null && return 0
        sleep 0.1
    done
    fail "no worker reached the hanging file"
}
# Waits up to 15 s for every process of the faulty copy to be gone.
all_gone() {
    for _ in $(seq 1 150); do
        [ -z "$(left)" ] && return 0
        sleep 0.1
    done
    fail "$1: left running: $(left)"
}

start_hanging
kill -KILL "$parent"
wait "$parent" 2>/dev/null
all_gone "parent killed"

start_hanging
kill -INT "$parent"
wait "$parent"
status=$?
tr -d '\r' <"$work/out" >"$work/out.txt"
[ $status -eq 130 ] || fail "Ctrl-C: exit $status, want 130"
summary=$(grep '^interrupted: files ' "$work/out.txt")
[ -n "$summary" ] || fail "Ctrl-C: no summary: $(cat "$work/out.txt")"
printed=$(grep -c ' Z:' "$work/out.txt")
[[ "$summary" == "interrupted: files $printed, "* ]] || fail "Ctrl-C: $printed lines, summary: $summary"
grep -q 'd-hang-here' "$work/out.txt" && fail "Ctrl-C: the hanging file has a line"
all_gone "Ctrl-C"

finish "assay jobs end to end"
