// Found before the system's winbase.h when a portable-core source is compiled.
#error "the portable core must not include winbase.h: put Win32 code in a win/ folder"
