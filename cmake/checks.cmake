# SPDX-License-Identifier: MIT
# Checks of the repository and of the shipped objects that are not unit tests.

# Every source, header, script and CMake file carries the license line (of a git checkout: the
# check lists the tracked files).
find_program(XK_GIT git)
if(XK_GIT AND EXISTS ${PROJECT_SOURCE_DIR}/.git)
  add_test(NAME license.spdx_lines COMMAND ${PROJECT_SOURCE_DIR}/scripts/spdx --check)
endif()

# The shared objects keep the ABI recorded in abi/. Types come from the debug information, so
# only builds with -g can be compared. The record is of the x86-64 objects; the AArch64 build
# would differ in the platform's own records (va_list, struct dirent) though not in ours, and the
# instrumented builds (sanitizers, fuzzing, coverage) ship nothing and add symbols of their own,
# so the check runs on the native, uninstrumented build only.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64" AND NOT CMAKE_CROSSCOMPILING
   AND NOT XK_SANITIZE AND NOT XK_TSAN AND NOT XK_FUZZ AND NOT XK_COVERAGE
   AND CMAKE_BUILD_TYPE MATCHES "^(Debug|RelWithDebInfo)$")
  set(XK_ABI_DIR ${PROJECT_SOURCE_DIR}/abi)
  add_test(NAME abi.matches_recorded
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/abi compare
            ${XK_ABI_DIR}/libxkutil.so.1.abi $<TARGET_SONAME_FILE:xkutil>
            ${XK_ABI_DIR}/libxklog.so.1.abi $<TARGET_SONAME_FILE:xklog>
            ${XK_ABI_DIR}/libxkerrortrace.so.1.abi $<TARGET_SONAME_FILE:xkerrortrace>)
  # The comparison must see a changed record or signature: edited copies of the record must fail it.
  add_test(NAME abi.detects_changes
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/abi mutants ${XK_ABI_DIR}/libxkutil.so.1.abi $<TARGET_SONAME_FILE:xkutil>)
endif()
