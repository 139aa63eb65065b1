// Found before the system's windows.h when a portable-core source is compiled.
#error "the portable core must not include windows.h: put Win32 code in a win/ folder"
