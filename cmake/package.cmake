# SPDX-License-Identifier: MIT
# The installed package: CMake config files for find_package(xkutil) and pkg-config files.
set(XK_CMAKE_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/xkutil)

install(EXPORT xkutilTargets NAMESPACE xkutil:: DESTINATION ${XK_CMAKE_INSTALL_DIR} COMPONENT development)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/xkutilConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/xkutilConfig.cmake INSTALL_DESTINATION ${XK_CMAKE_INSTALL_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/xkutilConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/xkutilConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/xkutilConfigVersion.cmake
  DESTINATION ${XK_CMAKE_INSTALL_DIR} COMPONENT development)

# The pkg-config files find the prefix from their own place, so an installed tree can move;
# the system's copy (the Debian packages) names /usr, which pkg-config knows to leave out of the
# flags and to put under PKG_CONFIG_SYSROOT_DIR.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(XK_PC_PREFIX /usr)
else()
  file(RELATIVE_PATH XK_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
  string(REGEX REPLACE "/$" "" XK_PC_TO_PREFIX "${XK_PC_TO_PREFIX}")
  set(XK_PC_PREFIX "\${pcfiledir}/${XK_PC_TO_PREFIX}")
endif()
foreach(pc xkutil xklog xkerrortrace)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/${pc}.pc.in ${CMAKE_CURRENT_BINARY_DIR}/${pc}.pc @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${pc}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
    COMPONENT development)
endforeach()
