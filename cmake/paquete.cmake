# SPDX-License-Identifier: GPL-2.0-or-later
# What the Debian package needs of the build: its system files and its
# maintainer scripts, with the build's paths. debian/rules configures the
# build for Debian's fbb (tools/deb.sh runs dpkg-buildpackage). Included by
# CMakeLists.txt after the install rules.

# The starter configuration, as the package's conffiles in
# /etc/ax25/fbb/talmir: it filters nothing until the sysop adds port lines.
# The package's postinst links the working directory's config.prt and
# users.prt to them.
option(TALMIR_ETC_CONFIG "Install a starter config.prt and users.prt in <sysconfdir>/ax25/fbb/talmir (the .deb's conffiles)" OFF)

set(TALMIR_SYSTEMD_DIR "/lib/systemd/system" CACHE PATH
    "Where the systemd units of the weekly job go (with TALMIR_ETC_CONFIG)")
mark_as_advanced(TALMIR_SYSTEMD_DIR)

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

  # The weekly job that mails the refusal logs (a conffile too), and the
  # systemd timer that does it instead where systemd runs.
  configure_file(packaging/deb/cron.weekly.in "${talmir_deb}/cron.weekly" @ONLY)
  install(FILES "${talmir_deb}/cron.weekly" DESTINATION "${CMAKE_INSTALL_FULL_SYSCONFDIR}/cron.weekly"
          RENAME talmir
          PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                      WORLD_READ WORLD_EXECUTE)
  configure_file(packaging/deb/talmir-log.service.in "${talmir_deb}/talmir-log.service" @ONLY)
  install(FILES "${talmir_deb}/talmir-log.service" packaging/deb/talmir-log.timer
          DESTINATION "${TALMIR_SYSTEMD_DIR}")
endif()

# The maintainer scripts, with this build's paths: debian/rules hands them
# to dh_installdeb, which puts debhelper's snippets at #DEBHELPER#.
foreach(guion preinst postinst postrm)
  configure_file("packaging/deb/${guion}.in" "${talmir_deb}/${guion}" @ONLY)
endforeach()
