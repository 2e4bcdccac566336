# SPDX-License-Identifier: GPL-2.0-or-later
# Install step: FBB runs "c_filter" in its filter directory; make it a
# symbolic link to the installed program. TALMIR_PROGRAMA (the program's
# installed path) and TALMIR_FILTRO (the filter directory) are set by the
# install code that runs before this script.
set(directorio "$ENV{DESTDIR}${TALMIR_FILTRO}")
set(enlace "${directorio}/c_filter")

if(IS_SYMLINK "${enlace}")
  file(READ_SYMLINK "${enlace}" destino)
  if(destino STREQUAL TALMIR_PROGRAMA)
    message(STATUS "Up-to-date: ${enlace} -> ${TALMIR_PROGRAMA}")
    return()
  endif()
  # Only a link is replaced: the program it pointed to stays where it is.
  message(STATUS "Replacing ${enlace} (was -> ${destino})")
  file(REMOVE "${enlace}")
elseif(EXISTS "${enlace}")
  # Someone's own filter: never overwritten.
  message(WARNING "${enlace} exists and is not a symbolic link: left as it is. "
                  "Move it away and install again to use talmir as FBB's filter.")
  return()
endif()

file(MAKE_DIRECTORY "${directorio}")
file(CREATE_LINK "${TALMIR_PROGRAMA}" "${enlace}" SYMBOLIC RESULT resultado)
if(NOT resultado EQUAL 0)
  message(FATAL_ERROR "Cannot link ${enlace}: ${resultado}")
endif()
message(STATUS "Installing: ${enlace} -> ${TALMIR_PROGRAMA}")
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${enlace}")
