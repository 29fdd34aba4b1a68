# SPDX-License-Identifier: MIT
# Runs after CPack made the packages (CPACK_POST_BUILD_SCRIPTS). CPack gives a package that
# installs shared objects a postinst and a postrm that call ldconfig; Debian runs ldconfig from
# the package's trigger instead (activate-noawait ldconfig), so the two scripts are taken out
# and the package is built again from the same tree.
cmake_minimum_required(VERSION 3.25)
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  set(tree ${deb}.tree)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND dpkg-deb -R ${deb} ${tree} COMMAND_ERROR_IS_FATAL ANY)
  if(EXISTS ${tree}/DEBIAN/postinst OR EXISTS ${tree}/DEBIAN/postrm)
    file(READ ${tree}/DEBIAN/postinst postinst)
    if(NOT postinst MATCHES "ldconfig")
      message(FATAL_ERROR "${deb}: the postinst does more than call ldconfig:\n${postinst}")
    endif()
    file(REMOVE ${tree}/DEBIAN/postinst ${tree}/DEBIAN/postrm)
    execute_process(COMMAND dpkg-deb --root-owner-group -b ${tree} ${deb} OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  endif()
  file(REMOVE_RECURSE ${tree})
endforeach()
