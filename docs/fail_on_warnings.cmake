# SPDX-License-Identifier: MIT
# Fails when Doxygen wrote any warning (an undocumented public name among them).
file(READ ${LOG} warnings)
if(NOT warnings STREQUAL "")
  message(FATAL_ERROR "Doxygen warnings:\n${warnings}")
endif()
