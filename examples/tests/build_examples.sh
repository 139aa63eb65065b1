#!/bin/sh
# build_examples.sh CMAKE EXAMPLES_SOURCE KIT OUT CXX
# Builds each example host as a CMake project of its own against the installed KIT and
# nothing else: its sources are copied out of the tree, and every include path of every
# compile must lie inside the kit.
set -eu
cmake=$1 source=$2 kit=$3 out=$4 cxx=$5

rm -rf "$out"
mkdir -p "$out"
for example in guard submit rules; do
  cp -R "$source/$example" "$out/$example-source"
  log="$out/$example.log"
  if ! { "$cmake" -S "$out/$example-source" -B "$out/$example" -DKAVRO_DIR="$kit" \
           -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=x86 \
           -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=Release \
           -DCMAKE_EXPORT_COMPILE_COMMANDS=ON &&
         "$cmake" --build "$out/$example"; } >"$log" 2>&1; then
    cat "$log"
    echo "FAILED: $example does not build against the kit"
    exit 1
  fi
  python3 - "$out/$example/compile_commands.json" "$kit" <<'PY'
import json, os, shlex, sys
commands, kit = sys.argv[1], os.path.realpath(sys.argv[2])
for entry in json.load(open(commands)):
    words = []
    for word in shlex.split(entry["command"]):  # response files hold the include flags
        if word.startswith("@"):
            words += shlex.split(open(os.path.join(entry["directory"], word[1:])).read())
        else:
            words.append(word)
    for i, word in enumerate(words):
        for flag in ("-I", "-isystem", "-iquote", "-idirafter"):
            if word.startswith(flag):
                path = word[len(flag):] or words[i + 1]
                if not os.path.realpath(path).startswith(kit + os.sep):
                    sys.exit(f"FAILED: {entry['file']} is compiled with {flag} {path}, outside the kit")
PY
  echo "$example: built against the kit alone"
done
