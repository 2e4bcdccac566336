# SPDX-License-Identifier: GPL-2.0-or-later
# The Debian package, built by CPack's DEB generator (tools/deb.sh builds it
# with the settings below). Included by CMakeLists.txt after the install
# rules.
#
# A package works with Debian's fbb out of the box only when the build reads
# FBB's configuration where Debian keeps it, with no root in front of the
# fixed paths, the inf.sys layout of an FBB built for the same machine, and
# everything under /usr: cpack refuses a DEB of any other build
# (cmake/paquete_cpack.cmake).

# The starter configuration, as the package's conffiles in
# /etc/ax25/fbb/talmir: it filters nothing until the sysop adds port lines.
# The package's postinst links the working directory's config.prt and
# users.prt to them.
option(TALMIR_ETC_CONFIG "Install a starter config.prt and users.prt in <sysconfdir>/ax25/fbb/talmir (the .deb's conffiles)" OFF)

set(TALMIR_TRABAJO "${TALMIR_ROOT}/var/ax25/fbb/talmir")
set(TALMIR_ETC_DIR "${CMAKE_INSTALL_FULL_SYSCONFDIR}/ax25/fbb/talmir")
set(TALMIR_EJEMPLOS_DIR "${CMAKE_INSTALL_FULL_DOCDIR}/examples")
set(TALMIR_PROGRAMA "${CMAKE_INSTALL_FULL_SBINDIR}/talmir")
set(talmir_deb "${CMAKE_BINARY_DIR}/deb")

if(TALMIR_ETC_CONFIG)
  configure_file(packaging/deb/config.prt.in "${talmir_deb}/config.prt" @ONLY)
  configure_file(packaging/deb/users.prt.in "${talmir_deb}/users.prt" @ONLY)
  install(FILES "${talmir_deb}/config.prt" DESTINATION "${TALMIR_ETC_DIR}"
          PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  # Passwords: root's and its group's only.
  install(FILES "${talmir_deb}/users.prt" DESTINATION "${TALMIR_ETC_DIR}"
          PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ)

  # The weekly job that mails the refusal logs (a conffile too).
  configure_file(packaging/deb/cron.weekly.in "${talmir_deb}/cron.weekly" @ONLY)
  install(FILES "${talmir_deb}/cron.weekly" DESTINATION "${CMAKE_INSTALL_FULL_SYSCONFDIR}/cron.weekly"
          RENAME talmir
          PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                      WORLD_READ WORLD_EXECUTE)
endif()

foreach(guion preinst postinst postrm conffiles)
  configure_file("packaging/deb/${guion}.in" "${talmir_deb}/${guion}" @ONLY)
endforeach()

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "talmir")
set(CPACK_PACKAGE_VENDOR "talmir")
set(CPACK_PACKAGE_CONTACT "talmir maintainers <root@localhost>" CACHE STRING
    "Maintainer of the Debian package")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "user authenticator and connection filter for the FBB packet-radio BBS")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "talmir is the connection filter of the FBB bulletin board system: FBB runs
it when a station connects, and it decides from its own configuration whether
the station is let in (normally, read-only, with its messages held), shown a
text and disconnected, excluded, or challenged for its password (a whole pass
phrase, characters at random positions, a table of daily passwords, FLEXNET,
or an MD2/MD5 challenge-response). Partner BBSs authenticate each other with
MD2 or MD5 before forwarding mail. It mails the sysops about faults and new
users and keeps logs of connections, exclusions and failed passwords.
.
The package links FBB's c_filter to talmir and installs a configuration that
filters nothing until the sysop names the ports to guard. It also contains
talmir-sim, which plays FBB's part so that a login can be tried without a
radio.")
# talmir's own version is 4.1 beta 2 ("4.1" 0xE1 "2"): "~" sorts it before a
# final 4.1.
set(CPACK_DEBIAN_PACKAGE_VERSION "4.1~beta2")
set(CPACK_DEBIAN_PACKAGE_RELEASE "1")
set(CPACK_DEBIAN_FILE_NAME "DEB-DEFAULT")
set(CPACK_DEBIAN_PACKAGE_SECTION "hamradio")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fbb")
if(NOT TALMIR_STATIC)
  # Dynamically linked programs depend on the libraries they use.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    "${talmir_deb}/preinst;${talmir_deb}/postinst;${talmir_deb}/postrm;${talmir_deb}/conffiles")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
# Absolute destinations (/etc, FBB's filter directory) go into the package
# through DESTDIR, as `cmake --install` puts them under DESTDIR.
set(CPACK_SET_DESTDIR ON)
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_STRIP_FILES ON)

# What cmake/paquete_cpack.cmake checks before it builds a DEB.
set(CPACK_TALMIR_FBB_CONF "${FBB_CONF}")
set(CPACK_TALMIR_ROOT "${TALMIR_ROOT}")
set(CPACK_TALMIR_INFSYS_LAYOUT "${FBB_INFSYS_LAYOUT}")
set(CPACK_TALMIR_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_TALMIR_ETC_CONFIG "${TALMIR_ETC_CONFIG}")
set(CPACK_TALMIR_FILTER_DIR "${FBB_FILTER_DIR}")
set(CPACK_TALMIR_SANITIZE "${TALMIR_SANITIZE}")
set(CPACK_PROJECT_CONFIG_FILE "${CMAKE_SOURCE_DIR}/cmake/paquete_cpack.cmake")

include(CPack)
