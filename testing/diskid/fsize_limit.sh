#!/usr/bin/env bash
# Runs one command with files limited to N KiB (bash counts ulimit -f in KiB; dash would count
# 512-byte blocks). A write past the limit fails instead of killing the process (SIGXFSZ is
# ignored), so Wine's WriteFile writes short and reports error 31. The persistent wineserver
# must be started without the limit; only the client process gets it.
#   fsize_limit.sh N COMMAND [ARGS...]
set -e
limit=$1
shift
trap '' XFSZ
ulimit -f "$limit"
export KV_FILE_SIZE_LIMIT_KIB="$limit"
exec "$@"
