# The Debian package: `./dev package` (cpack -G DEB in a build folder of its own).
#
# It installs the same files as `cmake --install` with the prefix /usr: the program in
# /usr/lib/kelvane, root's and read-only, as is everything on Qt's plugin path beside it. The
# settings live apart, in /var/lib/kelvane, so the package must be built with
# -DKELVANE_SETTINGS_DIR=/var/lib/kelvane; the maintainer scripts create the system group kelvane
# and give it that folder (root:kelvane 2770) through dpkg-statoverride. Removing the package
# keeps the settings, the calibration among them; purging removes them.
set(KELVANE_PACKAGE_GROUP kelvane)
set(KELVANE_PACKAGE_STATE /var/lib/kelvane)
set(KELVANE_PACKAGE_FOLDER /usr/${KELVANE_PROGRAM_DIR})
if(IS_ABSOLUTE "${KELVANE_PROGRAM_DIR}")
    set(KELVANE_PACKAGE_FOLDER "${KELVANE_PROGRAM_DIR}")
endif()
# A package made from the same version twice is the same version: a change of the packaging
# alone raises the Debian revision.
set(KELVANE_PACKAGE_REVISION 1)
set(KELVANE_PACKAGE_VERSION ${PROJECT_VERSION}-${KELVANE_PACKAGE_REVISION})
set(KELVANE_PACKAGE_MAINTAINER "Kelvane maintainers <maintainers@kelvane.org>")

set(_kelvane_scripts ${CMAKE_CURRENT_BINARY_DIR}/packaging/deb)
foreach(script postinst postrm)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/${script}.in ${_kelvane_scripts}/${script} @ONLY
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
        WORLD_READ WORLD_EXECUTE)
endforeach()
# Debian's changelog of the package, kept by hand: its newest entry is the version packed.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/changelog.Debian _kelvane_entry LIMIT_COUNT 1)
if(NOT _kelvane_entry MATCHES "^kelvane \\(${KELVANE_PACKAGE_VERSION}\\) ")
    message(FATAL_ERROR "packaging/changelog.Debian begins with '${_kelvane_entry}': add an entry "
                        "for the version ${KELVANE_PACKAGE_VERSION} that the package carries")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_LIST_DIR}/changelog.Debian)
configure_file(${CMAKE_CURRENT_LIST_DIR}/prebuild.cmake.in ${_kelvane_scripts}/prebuild.cmake @ONLY)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvane)
set(CPACK_PACKAGE_VENDOR "The Kelvane developers")
set(CPACK_PACKAGE_CONTACT "${KELVANE_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "measure the angle of a squint in prism dioptres")
# Debian shows each line as it stands: none longer than 80 characters.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Kelvane measures the angle of a squint in prism dioptres on an ordinary\n"
    "computer screen. The patient wears red/blue or red/green filter glasses;\n"
    "a click turns the pointer's offset from a ring into a horizontal and a\n"
    "vertical deviation with their base directions.\n"
    "The members of the group kelvane share the settings and the screen\n"
    "calibration, kept in /var/lib/kelvane.")
# The Debian generator stages the install with DESTDIR and this final prefix, so the launcher
# link and the desktop entry name /usr, not the staging folder.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${KELVANE_PACKAGE_REVISION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# The Qt libraries come from dpkg-shlibdeps; addgroup, which the set-up needs, from adduser.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS adduser)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${_kelvane_scripts}/postinst ${_kelvane_scripts}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PRE_BUILD_SCRIPTS ${_kelvane_scripts}/prebuild.cmake)
include(CPack)
