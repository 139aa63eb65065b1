#!/usr/bin/env bash
# Runs the fuzz targets over their kept inputs.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]     each target SECONDS (default 60) long
#   scripts/fuzz.sh --merge [TARGET...]       minimise each kept corpus with what the
#                                             runs so far found (libFuzzer's -merge=1 over
#                                             edges alone: the named seeds stay, and an
#                                             input is added when it reaches code no
#                                             input before it reaches)
#
# Builds the fuzz tree (build/fuzz, preset "fuzz") where needed; every target of
# kv_add_fuzz_target is known to it. A run starts from fuzz/corpus/<target> and
# fuzz/regressions/<target> and writes what it adds, and any finding, to a scratch
# folder build/fuzz/runs/<time>/<target>/ (new/ and findings/); the kept folders are
# only read. One line per target: seconds, runs, coverage at the start and the end,
# inputs kept and new, findings. The exit status is 1 when anything was found.
#
# FUZZ_JOBS=2 runs two targets at a time (default 1). A dictionary
# fuzz/dictionaries/<target>.dict is handed to its target when it is there.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=$root/build/fuzz

mode=run
seconds=60
if [ $# -gt 0 ] && [ "$1" = "--merge" ]; then
  mode=merge
  shift
elif [ $# -gt 0 ] && [[ $1 =~ ^[0-9]+$ ]]; then
  seconds=$1
  shift
fi
jobs=${FUZZ_JOBS:-1}

bash scripts/setup.sh >/tmp/fuzz-setup.$$.log 2>&1 || {
  cat /tmp/fuzz-setup.$$.log
  echo "fuzz: setup failed"
  exit 2
}
rm -f /tmp/fuzz-setup.$$.log

mkdir -p "$root/build"
if [ ! -f "$build/CMakeCache.txt" ] || [ ! -d "$build/fuzz-targets" ]; then
  if ! cmake --preset fuzz >"$root/build/fuzz.configure.log" 2>&1; then
    tail -n 30 "$root/build/fuzz.configure.log"
    echo "fuzz: configure FAILED"
    exit 2
  fi
fi

# Each target's line: its program, its corpus folder, its regression folder.
declare -A program corpus regressions
for file in "$build"/fuzz-targets/*.target; do
  [ -e "$file" ] || continue
  name=$(basename "$file" .target)
  { read -r program[$name]; read -r corpus[$name]; read -r regressions[$name]; } <"$file"
done
if [ $# -gt 0 ]; then
  targets=("$@")
else
  mapfile -t targets < <(printf '%s\n' "${!program[@]}" | sort)
fi
if [ ${#targets[@]} -eq 0 ]; then
  echo "fuzz: no targets known in $build/fuzz-targets"
  exit 2
fi
for t in "${targets[@]}"; do
  if [ -z "${program[$t]:-}" ]; then
    echo "fuzz: no target $t (known: $(printf '%s\n' "${!program[@]}" | sort | tr '\n' ' '))"
    exit 2
  fi
done

# The build re-runs the configuration itself when a CMakeLists changed.
if ! cmake --build --preset fuzz -j 2 --target "${targets[@]}" >"$root/build/fuzz.build.log" 2>&1; then
  grep -E 'error|Error' "$root/build/fuzz.build.log" | head -n 40
  echo "fuzz: build FAILED (log: $root/build/fuzz.build.log)"
  exit 2
fi
# A target added since the last configure is known only now.
for t in "${targets[@]}"; do
  { read -r program[$t]; read -r corpus[$t]; read -r regressions[$t]; } <"$build/fuzz-targets/$t.target"
done

kept_folders() {  # the kept folders of target $1 that exist
  local t=$1
  [ -d "${corpus[$t]}" ] && echo "${corpus[$t]}"
  [ -d "${regressions[$t]}" ] && echo "${regressions[$t]}"
}

if [ $mode = merge ]; then
  status=0
  for t in "${targets[@]}"; do
    mapfile -t found < <(ls -d "$build"/runs/*/"$t"/new 2>/dev/null)
    mkdir -p "${corpus[$t]}"
    before=$(ls "${corpus[$t]}" | wc -l)
    # Named inputs (the seeds, written by hand) always stay; the merge adds to them only
    # what reaches new edges, named by its SHA-1.
    merged=$(mktemp -d)
    for kept in "${corpus[$t]}"/*; do
      [ -f "$kept" ] && ! [[ $(basename "$kept") =~ ^[0-9a-f]{40}$ ]] && cp "$kept" "$merged"/
    done
    if ! "${program[$t]}" -merge=1 -use_counters=0 "$merged" "${corpus[$t]}" "${found[@]}" \
         >"$build/merge-$t.log" 2>&1; then
      tail -n 20 "$build/merge-$t.log"
      echo "$t: merge FAILED (log: $build/merge-$t.log)"
      status=1
      rm -rf "$merged"
      continue
    fi
    rm -f "${corpus[$t]}"/*
    mv "$merged"/* "${corpus[$t]}"/ 2>/dev/null
    rmdir "$merged"
    after=$(ls "${corpus[$t]}" | wc -l)
    echo "$t: corpus $before -> $after inputs, $(( $(cat "${corpus[$t]}"/* | wc -c) / 1024 )) KiB" \
         "(from ${#found[@]} runs)"
  done
  exit $status
fi

runs=$build/runs/$(date +%Y%m%d-%H%M%S)
mkdir -p "$runs"
echo "fuzz: ${#targets[@]} targets, $seconds s each, $jobs at a time; scratch $runs"

# Runs target $1 and writes its line to $runs/$1/line; the line's first word is the
# number of findings.
run_one() {
  local t=$1 dir=$runs/$1
  mkdir -p "$dir/new" "$dir/findings"
  local options=(-max_total_time="$seconds" -print_final_stats=1 -timeout=25 -rss_limit_mb=2048
                 -artifact_prefix="$dir/findings/")
  [ -f "$root/fuzz/dictionaries/$t.dict" ] && options+=(-dict="$root/fuzz/dictionaries/$t.dict")
  local start=$SECONDS
  mapfile -t kept < <(kept_folders "$t")
  "${program[$t]}" "${options[@]}" "$dir/new" "${kept[@]}" >"$dir/log" 2>&1
  local rc=$? took=$((SECONDS - start))
  local executed inited final added findings kept_count
  executed=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log" | tail -n 1)
  inited=$(grep -m 1 -o 'INITED cov: [0-9]*' "$dir/log" | grep -o '[0-9]*$')
  final=$(grep -o 'cov: [0-9]*' "$dir/log" | tail -n 1 | grep -o '[0-9]*$')
  added=$(find "$dir/new" -type f | wc -l)
  kept_count=$(find "${kept[@]}" -maxdepth 1 -type f ! -name '.*' 2>/dev/null | wc -l)
  findings=$(find "$dir/findings" -type f | wc -l)
  # A failure that left no input behind (a crash at start) is a finding too.
  [ $rc -ne 0 ] && [ "$findings" -eq 0 ] && findings=1
  printf '%s %s: %d s, %s runs, cov %s (from %s), %d kept inputs + %d new, findings %d\n' \
    "$findings" "$t" "$took" "${executed:-?}" "${final:-?}" "${inited:-?}" "$kept_count" "$added" \
    "$findings" >"$dir/line"
  if [ "$findings" -ne 0 ]; then
    {
      echo "  exit status $rc; log $dir/log"
      find "$dir/findings" -type f | sed 's/^/  finding: /'
      grep -m 1 -E 'ERROR: |runtime error|==[0-9]+==|deadly signal|timeout' "$dir/log" | sed 's/^/  /'
    } >>"$dir/line"
  fi
}

total=0
report() {  # prints the line of target $1 and counts its findings
  local line=$runs/$1/line
  if [ ! -f "$line" ]; then
    echo "$1: no result"
    total=$((total + 1))
    return
  fi
  cut -d' ' -f2- "$line"
  total=$((total + $(head -n 1 "$line" | cut -d' ' -f1)))
}

running=()
for t in "${targets[@]}"; do
  run_one "$t" &
  running+=("$!:$t")
  while [ ${#running[@]} -ge "$jobs" ]; do
    wait -n
    still=()
    for entry in "${running[@]}"; do
      if kill -0 "${entry%%:*}" 2>/dev/null; then still+=("$entry"); else report "${entry#*:}"; fi
    done
    running=("${still[@]}")
  done
done
wait
for entry in "${running[@]}"; do report "${entry#*:}"; done

echo "fuzz: ${#targets[@]} targets, $total findings"
[ $total -eq 0 ]
