#!/usr/bin/env bash
# Large uploads to the loopback sample server under Wine: time against the pacing floor
# and private bytes during the upload (bench/courier_upload_bench.cpp).
#   bench/courier_upload.sh [MIB...]      default: 5 20
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
sizes=("${@:-5}")
[ $# -gt 0 ] || sizes=(5 20)

cmake --build --preset windows --target courier_upload_bench >/dev/null
state=/tmp/courier-bench-state
sh testing/sampleserver/server_ctl.sh start "$state"
trap 'sh "$root/testing/sampleserver/server_ctl.sh" stop "$state"' EXIT
for mib in "${sizes[@]}"; do
  KV_SAMPLE_SERVER_DIR="$state" build/windows/wine-run.sh \
    build/windows/bin/courier_upload_bench.exe upload "$mib"
done
