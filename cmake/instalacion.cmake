# SPDX-License-Identifier: GPL-2.0-or-later
# The installation, included by the top CMakeLists.txt.
# The filter in sbin (FBB runs it, as root on Debian), the sysop's tools in
# bin, the manual pages (compressed, as Debian keeps them, when gzip is
# there), the examples, and FBB's c_filter linked to the installed filter.
install(TARGETS talmir DESTINATION ${CMAKE_INSTALL_SBINDIR})
install(TARGETS talmir-sim DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET talmir-check)
  install(TARGETS talmir-check DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
find_program(TALMIR_GZIP gzip)
mark_as_advanced(TALMIR_GZIP)
set(talmir_paginas doc/talmir.8 doc/talmir-check.8 doc/talmir-sim.1 doc/config.prt.5
                   doc/users.prt.5 doc/bloqueo.prt.5)
set(talmir_paginas_gz)
foreach(pagina IN LISTS talmir_paginas)
  if(NOT EXISTS "${CMAKE_SOURCE_DIR}/${pagina}")
    continue()  # a page of a tool this tree does not have yet
  endif()
  get_filename_component(nombre "${pagina}" NAME)
  string(REGEX REPLACE ".*\\.([0-9])$" "\\1" seccion "${nombre}")
  if(TALMIR_GZIP)
    set(gz "${CMAKE_BINARY_DIR}/man/${nombre}.gz")
    add_custom_command(OUTPUT "${gz}"
                       COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_BINARY_DIR}/man"
                       COMMAND ${TALMIR_GZIP} -9n -c "${CMAKE_SOURCE_DIR}/${pagina}" > "${gz}"
                       DEPENDS "${CMAKE_SOURCE_DIR}/${pagina}" VERBATIM)
    list(APPEND talmir_paginas_gz "${gz}")
    install(FILES "${gz}" DESTINATION ${CMAKE_INSTALL_MANDIR}/man${seccion})
  else()
    install(FILES "${pagina}" DESTINATION ${CMAKE_INSTALL_MANDIR}/man${seccion})
  endif()
endforeach()
if(talmir_paginas_gz)
  add_custom_target(talmir_paginas ALL DEPENDS ${talmir_paginas_gz})
endif()
install(DIRECTORY examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
if(FBB_FILTER_DIR)
  # The prefix as the install step gets it (`cmake --install --prefix`).
  if(IS_ABSOLUTE "${CMAKE_INSTALL_SBINDIR}")
    set(talmir_programa "${CMAKE_INSTALL_SBINDIR}/talmir")
  else()
    set(talmir_programa "\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_SBINDIR}/talmir")
  endif()
  install(CODE "set(TALMIR_PROGRAMA \"${talmir_programa}\")
set(TALMIR_FILTRO \"${FBB_FILTER_DIR}\")")
  install(SCRIPT cmake/c_filter.cmake)
endif()
