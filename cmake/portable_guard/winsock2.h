// Found before the system's winsock2.h when a portable-core source is compiled.
#error "the portable core must not include winsock2.h: put Win32 code in a win/ folder"
