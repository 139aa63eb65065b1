# Sourced by the assay end-to-end scripts once they have set wine_run and work: counted
# failures, Windows paths, one run of a program under Wine, an evenly spread pick from
# a list of files, and the closing lines.
py=/usr/bin/python3
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
win() { echo "Z:$(echo "$1" | tr / '\\')"; }

# Runs a program under Wine with the given arguments; stdout and stderr go to files
# (never a pipe, which Wine's background processes would hold open). Sets $status.
run_wine() {
    "$wine_run" "$@" </dev/null >"$work/out" 2>"$work/err"
    status=$?
    tr -d '\r' <"$work/out" >"$work/out.txt"
}

# pick_spread N FILE...: the array picked gets at most N of the files, spread evenly over
# the list, as Windows paths.
pick_spread() {
    local most=$1 step i
    shift
    step=$(($# / most)); [ "$step" -ge 1 ] || step=1
    picked=()
    local all=("$@")
    for ((i = 0; i < ${#all[@]} && ${#picked[@]} < most; i += step)); do
        picked+=("$(win "${all[$i]}")")
    done
}

# finish NAME: exits 1 with the last output when a check failed.
finish() {
    if [ $failures -ne 0 ]; then
        echo "$failures check(s) failed; last output:"; cat "$work/out.txt"; cat "$work/err"
        exit 1
    fi
    echo "$1: all checks passed"
}
