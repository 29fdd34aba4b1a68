# SPDX-License-Identifier: MIT
# CPack project config of a cross build: the runtime package's Depends, computed without
# dpkg-shlibdeps. libc6 must be at least as new as the newest of the GLIBC_ version nodes the
# shared objects bind to and of the versions Debian's libc6 symbols file dates those symbols at
# (sysconf, for one, is dated 2.34 though it binds to an older node). The build machine's file
# stands in for the target's: both come from the same glibc.
# Set by the including file: XK_CROSS_OBJECTS (the shared objects), XK_CROSS_OBJDUMP.
execute_process(COMMAND ${XK_CROSS_OBJDUMP} -T ${XK_CROSS_OBJECTS} OUTPUT_VARIABLE dynamic COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE host OUTPUT_STRIP_TRAILING_WHITESPACE)
file(GLOB symbols_files /var/lib/dpkg/info/libc6:${host}.symbols /var/lib/dpkg/info/libc6.symbols)
set(dated "")
if(symbols_files)
  list(GET symbols_files 0 symbols_file)
  file(READ ${symbols_file} dated)
endif()

set(newest 0)
macro(take version)
  if(${version} VERSION_GREATER newest)
    set(newest ${${version}})
  endif()
endmacro()

string(REGEX MATCHALL "GLIBC_[0-9.]+\\)? +[A-Za-z_0-9]+" bindings "${dynamic}")
foreach(binding IN LISTS bindings)
  string(REGEX MATCH "GLIBC_([0-9.]+)\\)? +([A-Za-z_0-9]+)" _ "${binding}")
  set(node ${CMAKE_MATCH_1})
  set(name ${CMAKE_MATCH_2})
  take(node)
  if(dated MATCHES "\n ${name}@GLIBC_[0-9.]+ ([0-9.]+)")
    set(since ${CMAKE_MATCH_1})
    take(since)
  endif()
endforeach()
if(newest VERSION_EQUAL 0)
  message(FATAL_ERROR "no GLIBC_ symbol found in ${XK_CROSS_OBJECTS}")
endif()
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "libc6 (>= ${newest})")
