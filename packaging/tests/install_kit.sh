#!/bin/sh
# install_kit.sh CMAKE CPACK OBJDUMP BUILD_DIR KIT_DIR EXPECTED_LIST PACKAGE_NAME
# A clean install of the build tree into KIT_DIR gives exactly the files of
# EXPECTED_LIST, every program in it needs nothing but the system's own DLLs, and CPack
# makes PACKAGE_NAME.zip holding the same files under the folder PACKAGE_NAME.
set -eu
cmake=$1 cpack=$2 objdump=$3 build=$4 kit=$5 expected=$6 name=$7

rm -rf "$kit" "$kit.package"
"$cmake" --install "$build" --prefix "$kit" >"$kit.log" 2>&1 || { cat "$kit.log"; exit 1; }
(cd "$kit" && find . -type f | sed 's|^\./||' | LC_ALL=C sort) >"$kit.files"
if ! diff -u "$expected" "$kit.files"; then
  echo "FAILED: the installed kit differs from $expected (-: listed, +: installed)"
  exit 1
fi

# Only the system's DLLs: the C and C++ runtimes are linked into every file.
for program in "$kit"/bin/*; do
  foreign=$("$objdump" -p "$program" | sed -n 's/^\tDLL Name: //p' |
            grep -iE '^(lib|msvcp|vcruntime|ucrtbase)' || true)
  if [ -n "$foreign" ]; then
    echo "FAILED: $(basename "$program") needs $foreign, which the kit does not hold"
    exit 1
  fi
done

"$cpack" --config "$build/CPackConfig.cmake" -B "$kit.package" >"$kit.package.log" 2>&1 ||
  { cat "$kit.package.log"; exit 1; }
zip="$kit.package/$name.zip"
[ -f "$zip" ] || { echo "FAILED: no $zip"; ls "$kit.package"; exit 1; }
python3 - "$zip" "$name" "$expected" <<'PY'
import sys, zipfile
zip_path, folder, expected = sys.argv[1:4]
listed = [folder + "/" + line.strip() for line in open(expected) if line.strip()]
held = sorted(n for n in zipfile.ZipFile(zip_path).namelist() if not n.endswith("/"))
if held != sorted(listed):
    print("FAILED: the ZIP holds", sorted(set(held) ^ set(listed)), "unlike the list")
    sys.exit(1)
PY
echo "kit: $(wc -l <"$kit.files") files as listed; $zip holds the same"
