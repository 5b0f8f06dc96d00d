# Install-time steps that install() cannot express by itself: the launcher link, the desktop
# entry that names the installed program, and the folder where the settings are kept.
#
# Runs inside cmake_install.cmake, so CMAKE_INSTALL_PREFIX is the prefix given to
# `cmake --install`, and DESTDIR (a staging folder for packaging) comes from the environment.
# Set before this script: KELVANE_APP_ID, KELVANE_PROGRAM_DIR, KELVANE_BIN_DIR, KELVANE_DATA_DIR,
# KELVANE_SETTINGS_DIR (absolute, or empty: beside the program), KELVANE_SHARED_GROUP,
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
if(IS_ABSOLUTE "${KELVANE_BIN_DIR}")
    set(_kelvane_bin "${KELVANE_BIN_DIR}")
else()
    set(_kelvane_bin "${CMAKE_INSTALL_PREFIX}/${KELVANE_BIN_DIR}")
endif()
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
if(IS_ABSOLUTE "${KELVANE_DATA_DIR}")
    set(_kelvane_data "${KELVANE_DATA_DIR}")
else()
    set(_kelvane_data "${CMAKE_INSTALL_PREFIX}/${KELVANE_DATA_DIR}")
endif()
file(INSTALL DESTINATION "${_kelvane_data}/applications" TYPE FILE
    FILES "${KELVANE_DESKTOP_FILE}")

# The settings file, the calibration among them, is saved by replacing it inside its folder, so
# whoever runs the program must be able to write that folder. An install of one user's own keeps
# it beside the program. A shared install keeps it in a folder of its own that its group may
# write (KELVANE_SETTINGS_DIR); the program's folder, where Qt also looks for plugins, stays
# writable by its owner alone, or any member could run code as every other user, root included.
# A staged install is a package's content: who may write the settings folder is set up where
# the package is installed (the Debian package's own scripts do so), not where it is built.
set(_kelvane_program_folder "${_kelvane_destdir}${_kelvane_dir}")
if(KELVANE_SHARED_GROUP AND NOT KELVANE_SETTINGS_DIR)
    message(FATAL_ERROR "A shared install keeps its settings in a folder of their own: configure "
                        "with -DKELVANE_SETTINGS_DIR=<folder> (such as /var/lib/kelvane) as well "
                        "as -DKELVANE_SHARED_GROUP=${KELVANE_SHARED_GROUP}")
endif()
# Whatever the umask, the program's folder is writable by its owner only.
file(CHMOD "${_kelvane_program_folder}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
    GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
if(KELVANE_SETTINGS_DIR)
    set(_kelvane_settings "${_kelvane_destdir}${KELVANE_SETTINGS_DIR}")
    file(MAKE_DIRECTORY "${_kelvane_settings}")
endif()
if(_kelvane_destdir)
    message(STATUS "Staged in ${_kelvane_destdir}: the settings folder's group and mode are left "
                   "to the package")
elseif(KELVANE_SHARED_GROUP)
    execute_process(COMMAND chgrp "${KELVANE_SHARED_GROUP}" "${_kelvane_settings}"
        RESULT_VARIABLE _kelvane_result ERROR_VARIABLE _kelvane_error)
    if(_kelvane_result)
        message(FATAL_ERROR "Cannot give ${_kelvane_settings} to group ${KELVANE_SHARED_GROUP}: "
                            "${_kelvane_error}")
    endif()
    # New files there take the folder's group; others than the group see nothing of it.
    file(CHMOD "${_kelvane_settings}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
        GROUP_WRITE GROUP_EXECUTE SETGID)
    # An earlier install that kept the settings beside the program, in a folder the group could
    # write: that folder is the owner's again (above), and its settings file moves to the new
    # place unless that has one. A link put there is neither followed nor moved.
    set(_kelvane_old "${_kelvane_program_folder}/Kelvane.ini")
    set(_kelvane_new "${_kelvane_settings}/Kelvane.ini")
    execute_process(COMMAND id -g OUTPUT_VARIABLE _kelvane_gid OUTPUT_STRIP_TRAILING_WHITESPACE)
    execute_process(COMMAND chgrp "${_kelvane_gid}" "${_kelvane_program_folder}")
    if(EXISTS "${_kelvane_old}" AND NOT IS_SYMLINK "${_kelvane_old}"
       AND NOT IS_DIRECTORY "${_kelvane_old}"
       AND NOT EXISTS "${_kelvane_new}" AND NOT IS_SYMLINK "${_kelvane_new}")
        execute_process(COMMAND mv -n "${_kelvane_old}" "${_kelvane_settings}/"
            RESULT_VARIABLE _kelvane_result)
        if(_kelvane_result)
            message(FATAL_ERROR "Cannot move ${_kelvane_old} to ${_kelvane_settings}")
        endif()
        message(STATUS "Moved the settings from ${_kelvane_old} to ${_kelvane_new}")
    endif()
    # A settings file kept from an earlier install must be readable by the whole group, or the
    # others would start from the fall-back values and save those over the calibration.
    if(EXISTS "${_kelvane_new}" AND NOT IS_SYMLINK "${_kelvane_new}"
       AND NOT IS_DIRECTORY "${_kelvane_new}")
        execute_process(COMMAND chgrp -h "${KELVANE_SHARED_GROUP}" "${_kelvane_new}")
        execute_process(COMMAND chmod g+rw "${_kelvane_new}")
    endif()
    message(STATUS "Kelvane's settings folder ${_kelvane_settings} is writable by group "
                   "${KELVANE_SHARED_GROUP}; its program folder ${_kelvane_program_folder} by its "
                   "owner only")
else()
    if(KELVANE_SETTINGS_DIR)
        set(_kelvane_where "${KELVANE_SETTINGS_DIR}")
    else()
        set(_kelvane_where "beside the program in ${_kelvane_dir}")
    endif()
    execute_process(COMMAND id -u OUTPUT_VARIABLE _kelvane_uid OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(_kelvane_uid STREQUAL "0")
        message(WARNING "Kelvane keeps its settings, the screen calibration among them, "
                        "${_kelvane_where}, which only root can write after this install: other "
                        "users' settings would not be kept. Install per user (cmake --install "
                        "<build> --prefix ~/.local) or give a settings folder to the group of its "
                        "users (configure with -DKELVANE_SETTINGS_DIR=/var/lib/kelvane "
                        "-DKELVANE_SHARED_GROUP=<group>).")
    endif()
endif()
