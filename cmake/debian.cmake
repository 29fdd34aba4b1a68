# SPDX-License-Identifier: MIT
# Debian packages through CPack (cpack -G DEB, or the package workflow preset):
#   libxkutil1     the three shared objects and their SONAME links
#   libxkutil-dev  headers, .so links, pkg-config files, the CMake package, manual pages
set(XK_PACKAGE_MAINTAINER "The libxkutil developers <libxkutil@example.org>"
    CACHE STRING "Maintainer field of the Debian packages")
set(XK_DEB_RUNTIME libxkutil1)
set(XK_DEB_DEVELOPMENT libxkutil-dev)
set(XK_DEB_REVISION 1)
set(XK_DEB_VERSION ${PROJECT_VERSION}-${XK_DEB_REVISION})

# The target's architecture, not the build machine's: a cross build makes arm64 packages.
set(XK_DEB_ARCH_x86_64 amd64)
set(XK_DEB_ARCH_aarch64 arm64)
if(DEFINED XK_DEB_ARCH_${CMAKE_SYSTEM_PROCESSOR})
  set(XK_DEB_ARCH ${XK_DEB_ARCH_${CMAKE_SYSTEM_PROCESSOR}})
else()
  execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE XK_DEB_ARCH OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()

# /usr/share/doc/<package>: the machine-readable copyright, the upstream and the Debian changelogs;
# /usr/share/lintian/overrides/<package>: the checks that cannot apply outside Debian's archive.
string(TIMESTAMP XK_DEB_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(XK_DEB_SOURCE libxkutil)
foreach(component runtime development)
  if(component STREQUAL "runtime")
    set(XK_DEB_PACKAGE ${XK_DEB_RUNTIME})
  else()
    set(XK_DEB_PACKAGE ${XK_DEB_DEVELOPMENT})
  endif()
  set(doc ${CMAKE_CURRENT_BINARY_DIR}/debian/${XK_DEB_PACKAGE})
  configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in ${doc}/changelog.Debian @ONLY)
  execute_process(COMMAND gzip -9nf ${doc}/changelog.Debian)
  file(COPY_FILE ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${doc}/changelog)
  execute_process(COMMAND gzip -9nf ${doc}/changelog)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${doc}/changelog.Debian.gz ${doc}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${XK_DEB_PACKAGE} COMPONENT ${component})
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/${XK_DEB_PACKAGE}.lintian-overrides
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME ${XK_DEB_PACKAGE} COMPONENT ${component})
endforeach()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md
  ${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${XK_DEB_SOURCE})
set(CPACK_PACKAGE_VENDOR "The libxkutil developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${XK_PACKAGE_MAINTAINER})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime development)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${XK_DEB_REVISION})
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${XK_DEB_ARCH})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${XK_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SOURCE ${XK_DEB_SOURCE})

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${XK_DEB_RUNTIME})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "general-purpose C utility library for 64-bit Linux programs
libxkutil gives C and C++ programs text buffers, splitting and joining, base64,
hashing, a seedable generator, checked arithmetic, sliding sums, an owning
collection, option scanning, durable file writes, directories, deadlines, child
processes, signals, pid files and the environment, with a status code and a
per-thread error trace for every failure.

This package holds the shared objects libxkutil.so.1, libxklog.so.1 (the log)
and libxkerrortrace.so.1 (the error trace).")
# The shlibs file lets packages built against this one depend on it; the trigger runs ldconfig.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/debian/triggers)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/debian/drop_ldconfig_scripts.cmake)

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME ${XK_DEB_DEVELOPMENT})
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "${XK_DEB_RUNTIME} (= ${XK_DEB_VERSION})")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "general-purpose C utility library for 64-bit Linux programs (development files)
libxkutil gives C and C++ programs text buffers, splitting and joining, base64,
hashing, a seedable generator, checked arithmetic, sliding sums, an owning
collection, option scanning, durable file writes, directories, deadlines, child
processes, signals, pid files and the environment.

This package holds the C headers and the C++20 layer, the pkg-config files
(xkutil, xklog, xkerrortrace), the CMake package (find_package(xkutil)) and
the manual pages: one per header with a link per function, and xkutil(7).")

# Natively dpkg-shlibdeps computes the runtime package's Depends from the shared objects. A
# cross build's C library is not a package of the build machine's dpkg database (it comes from
# libc6-arm64-cross, whose name would end up in the Depends), so there the Depends is computed
# from the objects' symbols (debian/cross_depends.cmake).
if(CMAKE_CROSSCOMPILING)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
  file(GENERATE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/CPackCrossDepends.cmake CONTENT
    "set(XK_CROSS_OBJECTS $<TARGET_FILE:xkutil> $<TARGET_FILE:xklog> $<TARGET_FILE:xkerrortrace>)
set(XK_CROSS_OBJDUMP ${CMAKE_OBJDUMP})
include(${CMAKE_CURRENT_LIST_DIR}/debian/cross_depends.cmake)
")
  set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_BINARY_DIR}/CPackCrossDepends.cmake)
else()
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
