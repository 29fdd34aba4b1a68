# SPDX-License-Identifier: MIT
# Turns Doxygen's section-3 output into the installed pages: header pages named xk_<header>,
# a symbolic link per documented name, everything gzip'd; fails on any Doxygen warning and
# when an exported function has no page.
# cmake -DSOURCE=<doxygen man3> -DOUTPUT=<man3> -DEXPORTS=<exports.txt> -DWARNINGS=<log> -P pack_pages.cmake
cmake_minimum_required(VERSION 3.25)

file(READ ${WARNINGS} warnings)
if(NOT warnings STREQUAL "")
  message(FATAL_ERROR "Doxygen warnings:\n${warnings}")
endif()

file(REMOVE_RECURSE ${OUTPUT})
file(MAKE_DIRECTORY ${OUTPUT})
file(STRINGS ${EXPORTS} exported)

# "strings.h.3" is Doxygen's page of xk/strings.h; installed as xk_strings.h.3 so that it
# never shadows the system's pages of the same header names.
function(installed_name page out)
  if(page MATCHES "^[a-z0-9]+\\.h\\.3$")
    set(${out} "xk_${page}" PARENT_SCOPE)
  else()
    set(${out} "${page}" PARENT_SCOPE)
  endif()
endfunction()

# Doxygen copies an example's text into the page as it is, where a backslash starts a roff
# escape ("\\n" prints as "0"): examples must do without one.
function(gzip_page text name)
  string(REGEX MATCHALL "\n\\.nf\n([^.]|\\.[^f]|\\.f[^i])*" examples "${text}")
  foreach(example IN LISTS examples)
    if(example MATCHES "\\\\[^&]")  # Doxygen itself writes "\&." for a dot
      message(FATAL_ERROR "${name}: an example holds a backslash, which the page would print wrongly")
    endif()
  endforeach()
  file(WRITE ${OUTPUT}/${name} "${text}")
  execute_process(COMMAND gzip -9n -f ${OUTPUT}/${name} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip failed on ${name}")
  endif()
endfunction()

file(GLOB pages RELATIVE ${SOURCE} ${SOURCE}/*.3)
foreach(page IN LISTS pages)
  file(READ ${SOURCE}/${page} text)
  string(REGEX REPLACE "\\.3$" "" name "${page}")
  if(text MATCHES "^\\.so man3/([^\n]+)")
    set(linked ${CMAKE_MATCH_1})
    # A link page: kept for the library's own names, dropped for record members ("count").
    if(name MATCHES "^(xk_|XK_)" OR name IN_LIST exported)
      installed_name(${linked} target)
      file(CREATE_LINK ${target}.gz ${OUTPUT}/${name}.3.gz SYMBOLIC)
    endif()
  elseif(page MATCHES "\\.h\\.3$")
    installed_name(${page} installed)
    string(REPLACE "\"xk/${name}\"" "\"xk_${name}\"" text "${text}")
    string(REPLACE "\nxk/${name} \\-" "\nxk_${name} \\-" text "${text}")
    gzip_page("${text}" ${installed})
  elseif(name MATCHES "^xk_")
    gzip_page("${text}" ${page})
  endif()
endforeach()

set(missing "")
foreach(name IN LISTS exported)
  if(NOT EXISTS ${OUTPUT}/${name}.3.gz)
    list(APPEND missing ${name})
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "exported functions without a manual page: ${missing}")
endif()
