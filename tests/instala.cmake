# SPDX-License-Identifier: GPL-2.0-or-later
# `cmake --install` into a scratch DESTDIR: the programs, the manual pages,
# the examples and the c_filter link in FBB's filter directory; a filter that
# is not a link is never overwritten. Run by CTest with -DBUILD=<build dir>
# -DDEST=<dir>.
file(REMOVE_RECURSE "${DEST}")


function(instala)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${DEST}
                          ${CMAKE_COMMAND} --install ${BUILD} --prefix /usr
                  RESULT_VARIABLE rc OUTPUT_VARIABLE salida ERROR_VARIABLE errores)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "install failed: ${rc}\n${salida}\n${errores}")
  endif()
  set(salida "${salida}${errores}" PARENT_SCOPE)
endfunction()

# Fails unless the text holds the piece.
function(contiene texto trozo)
  string(FIND "${texto}" "${trozo}" pos)
  if(pos EQUAL -1)
    message(FATAL_ERROR "expected \"${trozo}\" in:\n${texto}")
  endif()
endfunction()

instala()
# The manual pages, compressed when gzip is there.
set(gz "")
if(EXISTS "${DEST}/usr/share/man/man8/talmir.8.gz")
  set(gz ".gz")
endif()
foreach(f usr/sbin/talmir usr/bin/talmir-sim usr/bin/talmir-check usr/share/man/man8/talmir.8${gz}
          usr/share/man/man8/talmir-check.8${gz}
          usr/share/man/man1/talmir-sim.1${gz} usr/share/man/man5/config.prt.5${gz}
          usr/share/man/man5/users.prt.5${gz} usr/share/man/man5/bloqueo.prt.5${gz}
          usr/share/doc/talmir/examples/config.prt usr/share/doc/talmir/examples/bloqueo.prt
          usr/share/doc/talmir/examples/users.prt)
  if(NOT EXISTS "${DEST}/${f}")
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
# The starter configuration is the package's alone.
if(EXISTS "${DEST}/etc" OR EXISTS "${DEST}/usr/etc")
  message(FATAL_ERROR "configuration installed outside a package build")
endif()
# The link points at the installed path, not into DESTDIR.
file(READ_SYMLINK "${DEST}${FILTRO}/c_filter" destino)
if(NOT destino STREQUAL "/usr/sbin/talmir")
  message(FATAL_ERROR "c_filter -> ${destino}")
endif()

# Again: up to date.
instala()
contiene("${salida}" "Up-to-date: ${DEST}${FILTRO}/c_filter")

# Someone's own filter stays.
file(REMOVE "${DEST}${FILTRO}/c_filter")
file(WRITE "${DEST}${FILTRO}/c_filter" "#!/bin/sh\nexit 0\n")
instala()
file(READ "${DEST}${FILTRO}/c_filter" contenido)
if(NOT contenido STREQUAL "#!/bin/sh\nexit 0\n")
  message(FATAL_ERROR "own filter overwritten: ${contenido}")
endif()
contiene("${salida}" "is not a symbolic link: left as it is")
file(REMOVE_RECURSE "${DEST}")
