# The Debian package: `cpack -G DEB` in the build folder (or `./dev package`).
#
# It installs the same files as `cmake --install` with the prefix /usr, so the program gets the
# folder /usr/lib/kelvane of its own, where its settings file lives. The maintainer scripts
# create the system group kelvane and give it that folder (2775): the group's members share one
# settings file, the screen calibration among them. Removing the package keeps the settings;
# purging it removes them with the folder.
set(KELVANE_PACKAGE_GROUP kelvane)
set(KELVANE_PACKAGE_FOLDER /usr/${KELVANE_PROGRAM_DIR})
if(IS_ABSOLUTE "${KELVANE_PROGRAM_DIR}")
    set(KELVANE_PACKAGE_FOLDER "${KELVANE_PROGRAM_DIR}")
endif()

set(_kelvane_scripts ${CMAKE_CURRENT_BINARY_DIR}/packaging/deb)
foreach(script postinst postrm)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/${script}.in ${_kelvane_scripts}/${script} @ONLY
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
        WORLD_READ WORLD_EXECUTE)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvane)
set(CPACK_PACKAGE_VENDOR "The Kelvane developers")
set(CPACK_PACKAGE_CONTACT "The Kelvane developers <kelvane@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Measure the angle of a squint in prism dioptres")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Kelvane measures the angle of a squint in prism dioptres on an ordinary computer screen. "
    "The patient wears red/blue or red/green filter glasses; a click turns the pointer's offset "
    "from a ring into a horizontal and a vertical deviation with their base directions. "
    "The members of the group kelvane share the program's settings and screen calibration.")
# The Debian generator stages the install with DESTDIR and this final prefix, so the launcher
# link and the desktop entry name /usr, not the staging folder.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# The Qt libraries come from dpkg-shlibdeps; groupadd, which the set-up needs, from passwd.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS passwd)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${_kelvane_scripts}/postinst ${_kelvane_scripts}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
