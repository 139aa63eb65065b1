// Found before the system's windef.h when a portable-core source is compiled.
#error "the portable core must not include windef.h: put Win32 code in a win/ folder"
