#!/bin/sh
# prefix_fixture.sh setup|cleanup WINEPREFIX
# Around the library tests, from the Linux side of the prefix: a loop of directory
# links under C:\ (setup), and whatever an interrupted run may have left behind, put
# back or removed (both): the test catalog, C:\boot.ini, the hidden win.ini. Any step
# that fails fails the fixture, and with it the tests that need it.
set -eu
case "${1:-}" in
setup | cleanup) ;;
*)
  echo "usage: prefix_fixture.sh setup|cleanup WINEPREFIX" >&2
  exit 2
  ;;
esac
c="$2/drive_c"
if [ ! -d "$c" ]; then
  echo "prefix_fixture.sh: no drive C: at $c" >&2
  exit 1
fi
rm -f "$c"/windows/system32/catroot/*/kvprobe_test.cat
if [ -f "$c/windows/win.ini.kvprobe-hidden" ]; then
  mv -f "$c/windows/win.ini.kvprobe-hidden" "$c/windows/win.ini"
fi
if [ -f "$c/boot.ini.kvprobe-saved" ]; then
  mv -f "$c/boot.ini.kvprobe-saved" "$c/boot.ini"
fi
rm -rf "$c/kvprobe_host" "$c/kvprobe_loop"
if [ "$1" = setup ]; then
  mkdir "$c/kvprobe_loop"
  : >"$c/kvprobe_loop/a.txt"
  ln -s . "$c/kvprobe_loop/self"
  if [ ! -f "$c/kvprobe_loop/self/self/a.txt" ]; then
    echo "prefix_fixture.sh: the looping link $c/kvprobe_loop/self was not made" >&2
    exit 1
  fi
fi
