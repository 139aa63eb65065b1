// Found before the system's winnt.h when a portable-core source is compiled.
#error "the portable core must not include winnt.h: put Win32 code in a win/ folder"
