#!/bin/sh
# prefix_fixture.sh setup|cleanup WINEPREFIX
# Around the library tests, from the Linux side of the prefix: a loop of directory
# links under C:\ (setup), and whatever an interrupted run may have left behind, put
# back or removed (both): the test catalog, C:\boot.ini, the hidden win.ini.
set -u
c="$2/drive_c"
rm -f "$c"/windows/system32/catroot/*/kvprobe_test.cat
[ -f "$c/windows/win.ini.kvprobe-hidden" ] && mv -f "$c/windows/win.ini.kvprobe-hidden" "$c/windows/win.ini"
[ -f "$c/boot.ini.kvprobe-saved" ] && mv -f "$c/boot.ini.kvprobe-saved" "$c/boot.ini"
rm -rf "$c/kvprobe_host" "$c/kvprobe_loop"
if [ "$1" = setup ]; then
  mkdir -p "$c/kvprobe_loop" && touch "$c/kvprobe_loop/a.txt" && ln -s . "$c/kvprobe_loop/self"
fi
exit 0
