#!/usr/bin/env bash
# The main job: scans files with Assayer.dll and prints a verdict table.
#   bash scripts/assay.sh [--config FILE] [--signatures FILE]... [--log FILE] [--json]
#                         [--quiet] [--jobs N] [--timeout SECONDS] [PATH...]
# Installs and builds what is missing first (scripts/setup.sh, then the windows
# preset's assay.exe, Assayer.dll and demonstration samples), converts Linux paths
# for Wine and runs assay.exe in the build tree's private prefix. Without paths it
# scans the demonstration set: the synthetic samples in build/windows/samples and the
# prefix's own system files (C:\windows\system32).
# Exit status: assay's (0 nothing suspicious, 1 something suspicious, 2 usage error,
# 3 the analyser crashed or hung on a file, 130 interrupted),
# or 4 when the tools could not be installed or built.
set -uo pipefail
# Paths on the command line are relative to where the script was started.
caller_dir=$(pwd)
absolute() { (cd "$caller_dir" && realpath -m -- "$1"); }
cd "$(dirname "$0")/.." || exit 4
root=$(pwd)
# ASSAY_BUILD_DIR names another windows tree (configured by hand), for trying the script
# without touching build/windows.
build=${ASSAY_BUILD_DIR:-$root/build/windows}
log=$build/assay-sh.log

mkdir -p "$build"
if [ "$(id -u)" -eq 0 ]; then
    bash scripts/setup.sh >&2 || { echo "assay.sh: setup failed" >&2; exit 4; }
else
    for tool in cmake wine winepath i686-w64-mingw32-g++-posix; do
        command -v "$tool" >/dev/null \
            || { echo "assay.sh: $tool missing; run 'sudo bash scripts/setup.sh'" >&2; exit 4; }
    done
fi

# make does nothing when assay.exe, Assayer.dll and the samples are up to date.
if [ -n "${ASSAY_BUILD_DIR:-}" ]; then
    configure_command=(cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release
                       -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake")
    build_command=(cmake --build "$build" -j 2)
else
    configure_command=(cmake --preset windows)
    build_command=(cmake --build --preset windows)
fi
# Configured every time (a few seconds): a tree configured before these targets existed
# would not know them.
"${configure_command[@]}" >"$log" 2>&1 || { tail -n 30 "$log" >&2; exit 4; }
echo "assay.sh: building assay.exe, Assayer.dll and the samples (log: $log)" >&2
"${build_command[@]}" --target assay Assayer assay_demo_samples >>"$log" 2>&1 \
    || { tail -n 30 "$log" >&2; echo "assay.sh: build failed" >&2; exit 4; }

# Options pass through as they are; the arguments after them are Linux paths.
options=()
while [ $# -gt 0 ]; do
    case "$1" in
        --json | --quiet | --help | -h) options+=("$1"); shift ;;
        --config)
            [ $# -ge 2 ] || { options+=("$1"); shift; continue; }
            options+=("$1" "$(absolute "$2")"); shift 2 ;;
        --config=*) options+=(--config "$(absolute "${1#--config=}")"); shift ;;
        --signatures)
            [ $# -ge 2 ] || { options+=("$1"); shift; continue; }
            options+=("$1" "$(absolute "$2")"); shift 2 ;;
        --signatures=*) options+=(--signatures "$(absolute "${1#--signatures=}")"); shift ;;
        --log)
            [ $# -ge 2 ] || { options+=("$1"); shift; continue; }
            options+=("$1" "$(absolute "$2")"); shift 2 ;;
        --log=*) options+=(--log "$(absolute "${1#--log=}")"); shift ;;
        --jobs | -j | --timeout)  # a number follows
            [ $# -ge 2 ] || { options+=("$1"); shift; continue; }
            options+=("$1" "$2"); shift 2 ;;
        --) shift; break ;;
        -*) options+=("$1"); shift ;;
        *) break ;;
    esac
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Wine programs write to files, never to a pipe: the prefix's background processes
# inherit the handles and would hold a pipe open after assay has finished.
# to_windows PATH... leaves one Windows path per line in $tmp/windows.
to_windows() {
    "$build/wine-run.sh" winepath -w "$@" </dev/null >"$tmp/paths" 2>"$tmp/winepath.err" || {
        cat "$tmp/winepath.err" >&2
        echo "assay.sh: winepath failed" >&2
        exit 4
    }
    tr -d '\r' <"$tmp/paths" >"$tmp/windows"
}

windows_paths=()
if [ ${#options[@]} -gt 0 ]; then
    for i in "${!options[@]}"; do
        if { [ "${options[$i]}" = --config ] || [ "${options[$i]}" = --signatures ] ||
             [ "${options[$i]}" = --log ]; } &&
            [ $((i + 1)) -lt ${#options[@]} ]; then
            to_windows "${options[$((i + 1))]}"
            options[$((i + 1))]=$(head -n 1 "$tmp/windows")
        fi
    done
fi
if [ $# -gt 0 ]; then
    linux_paths=()
    for p in "$@"; do linux_paths+=("$(absolute "$p")"); done
    to_windows "${linux_paths[@]}"
    mapfile -t windows_paths <"$tmp/windows"
else
    to_windows "$build/samples"
    mapfile -t windows_paths <"$tmp/windows"
    windows_paths+=('C:\windows\system32')
    echo "assay.sh: scanning the demonstration set: ${windows_paths[*]}" >&2
fi

run=("$build/wine-run.sh" "$build/bin/assay.exe" ${options[@]+"${options[@]}"} "${windows_paths[@]}")
if [ -t 1 ] && [ -t 2 ]; then
    "${run[@]}" </dev/null
    status=$?
else
    # A terminal on stderr still sees the progress line of a long scan.
    if [ -t 2 ]; then
        "${run[@]}" </dev/null >"$tmp/out"
    else
        "${run[@]}" </dev/null >"$tmp/out" 2>"$tmp/err"
    fi
    status=$?
    tr -d '\r' <"$tmp/out"
    [ -f "$tmp/err" ] && tr -d '\r' <"$tmp/err" >&2
fi
exit $status
