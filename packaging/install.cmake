# Install-time steps that install() cannot express by itself: the launcher link, the desktop
# entry that names the installed program, and a program folder that the users can write.
#
# Runs inside cmake_install.cmake, so CMAKE_INSTALL_PREFIX is the prefix given to
# `cmake --install`, and DESTDIR (a staging folder for packaging) comes from the environment.
# Set before this script: KELVANE_APP_ID, KELVANE_PROGRAM_DIR, KELVANE_SHARED_GROUP,
# KELVANE_DESKTOP_TEMPLATE, KELVANE_DESKTOP_FILE.

set(_kelvane_destdir "$ENV{DESTDIR}")
if(IS_ABSOLUTE "${KELVANE_PROGRAM_DIR}")
    set(_kelvane_dir "${KELVANE_PROGRAM_DIR}")
else()
    set(_kelvane_dir "${CMAKE_INSTALL_PREFIX}/${KELVANE_PROGRAM_DIR}")
endif()
cmake_path(NORMAL_PATH _kelvane_dir)
set(_kelvane_program "${_kelvane_dir}/kelvane")
if(_kelvane_program MATCHES "[\n\r\t]")
    message(FATAL_ERROR "Kelvane cannot be installed into a folder whose name holds a line break "
                        "or a tab: ${_kelvane_dir}")
endif()

# The link in bin/ lets a terminal start the program by name. It is relative, so the install
# can be moved or staged as a whole, and the program finds its folder (and its settings file)
# through the link, because the running executable's path has every link resolved.
set(_kelvane_bin "${CMAKE_INSTALL_PREFIX}/bin")
cmake_path(NORMAL_PATH _kelvane_bin)
if(NOT _kelvane_bin STREQUAL _kelvane_dir)
    file(RELATIVE_PATH _kelvane_target "${_kelvane_bin}" "${_kelvane_program}")
    set(_kelvane_link "${_kelvane_destdir}${_kelvane_bin}/kelvane")
    message(STATUS "Installing: ${_kelvane_link} -> ${_kelvane_target}")
    file(MAKE_DIRECTORY "${_kelvane_destdir}${_kelvane_bin}")
    if(IS_SYMLINK "${_kelvane_link}" OR EXISTS "${_kelvane_link}")
        file(REMOVE "${_kelvane_link}")
    endif()
    file(CREATE_LINK "${_kelvane_target}" "${_kelvane_link}" SYMBOLIC)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${_kelvane_link}")
endif()

# The desktop entry starts the program by its full path: a desktop session's PATH often lacks
# ~/.local/bin. Exec takes a quoted argument when the path holds a blank or another character
# that the launcher would read as syntax; the file format then doubles every backslash.
set(_kelvane_exec "${_kelvane_program}")
if(_kelvane_exec MATCHES "[ \"'\\\\><~|&;$*?#()`]")
    string(REPLACE "\\" "\\\\" _kelvane_exec "${_kelvane_exec}")
    string(REPLACE "\"" "\\\"" _kelvane_exec "${_kelvane_exec}")
    string(REPLACE "`" "\\`" _kelvane_exec "${_kelvane_exec}")
    string(REPLACE "$" "\\$" _kelvane_exec "${_kelvane_exec}")
    set(_kelvane_exec "\"${_kelvane_exec}\"")
endif()
string(REPLACE "%" "%%" _kelvane_exec "${_kelvane_exec}")
string(REPLACE "\\" "\\\\" KELVANE_EXEC "${_kelvane_exec}")
string(REPLACE "\\" "\\\\" KELVANE_TRYEXEC "${_kelvane_program}")
configure_file("${KELVANE_DESKTOP_TEMPLATE}" "${KELVANE_DESKTOP_FILE}" @ONLY)
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/share/applications" TYPE FILE
    FILES "${KELVANE_DESKTOP_FILE}")

# The settings file, the calibration among them, is saved by replacing it inside the program's
# folder, so whoever runs the program must be able to write that folder. A shared install gets
# a folder that its group can write; new files there take the folder's group. A staged install
# is a package's content: who may write the folder is set up where the package is installed
# (the Debian package's own scripts do so), not on the machine that builds it.
if(_kelvane_destdir)
    message(STATUS "Staged in ${_kelvane_destdir}: the program folder's group and mode are left "
                   "to the package")
elseif(KELVANE_SHARED_GROUP)
    set(_kelvane_folder "${_kelvane_destdir}${_kelvane_dir}")
    execute_process(COMMAND chgrp "${KELVANE_SHARED_GROUP}" "${_kelvane_folder}"
        RESULT_VARIABLE _kelvane_result ERROR_VARIABLE _kelvane_error)
    if(_kelvane_result)
        message(FATAL_ERROR "Cannot give ${_kelvane_folder} to group ${KELVANE_SHARED_GROUP}: "
                            "${_kelvane_error}")
    endif()
    file(CHMOD "${_kelvane_folder}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
        GROUP_WRITE GROUP_EXECUTE WORLD_READ WORLD_EXECUTE SETGID)
    # A settings file kept from an earlier install must be readable by the whole group, or
    # the others would start from the fall-back values and save those over the calibration.
    if(EXISTS "${_kelvane_folder}/Kelvane.ini")
        execute_process(COMMAND chgrp "${KELVANE_SHARED_GROUP}" "${_kelvane_folder}/Kelvane.ini")
        execute_process(COMMAND chmod g+rw "${_kelvane_folder}/Kelvane.ini")
    endif()
    message(STATUS "Kelvane's folder ${_kelvane_folder} is writable by group "
                   "${KELVANE_SHARED_GROUP}")
else()
    execute_process(COMMAND id -u OUTPUT_VARIABLE _kelvane_uid OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(_kelvane_uid STREQUAL "0")
        message(WARNING "Kelvane keeps its settings, the screen calibration among them, beside "
                        "the program in ${_kelvane_dir}, which only root can write after this "
                        "install: other users' settings would not be kept. Install per user "
                        "(cmake --install <build> --prefix ~/.local) or give the folder to the "
                        "group of its users (configure with -DKELVANE_SHARED_GROUP=<group>).")
    endif()
endif()
