# Runs at install time, when the prefix is known: `cmake --install --prefix` chooses it then, so
# the configured prefix may not be where the program lands.

# One argument of a desktop entry's Exec key: quoted, with ", `, $ and \ escaped and % doubled,
# then the escapes of a desktop-file string on top. The program writes its autostart entry the
# same way (XdgAutostartLoginItem::quotedExecArgument).
function(varnello_exec_argument out argument)
  set(_quoted "${argument}")
  string(REPLACE "\\" "\\\\" _quoted "${_quoted}")
  foreach(_reserved "\"" "`" "\$")
    string(REPLACE "${_reserved}" "\\${_reserved}" _quoted "${_quoted}")
  endforeach()
  string(REPLACE "%" "%%" _quoted "${_quoted}")
  set(_quoted "\"${_quoted}\"")
  string(REPLACE "\\" "\\\\" _quoted "${_quoted}")
  string(REPLACE "\n" "\\n" _quoted "${_quoted}")
  string(REPLACE "\t" "\\t" _quoted "${_quoted}")
  string(REPLACE "\r" "\\r" _quoted "${_quoted}")
  set(${out} "${_quoted}" PARENT_SCOPE)
endfunction()

# Writes the desktop entry from TEMPLATE (its @VARNELLO_DESKTOP_ID@ and @VARNELLO_EXEC@ filled in)
# and installs it into DATADIR/applications. Exec is the full path of BINDIR/PROGRAM below the
# prefix: the menu must start the program even while the session's PATH lacks that folder (Debian
# adds ~/.local/bin at login only when it already exists). BY_NAME keeps the bare name, for a
# tarball that is unpacked anywhere.
function(varnello_install_desktop_entry)
  cmake_parse_arguments(ARG "BY_NAME" "TEMPLATE;STAGE;ID;BINDIR;DATADIR;PROGRAM" "" ${ARGN})
  # Where file(INSTALL) puts files: below the working folder for a relative prefix, with
  # backslashes taken as slashes.
  get_filename_component(_prefix "${CMAKE_INSTALL_PREFIX}" ABSOLUTE)
  file(TO_CMAKE_PATH "${_prefix}" _prefix)
  foreach(_dir BINDIR DATADIR)
    if(IS_ABSOLUTE "${ARG_${_dir}}")
      set(_${_dir} "${ARG_${_dir}}")
    else()
      set(_${_dir} "${_prefix}/${ARG_${_dir}}")
    endif()
  endforeach()
  if(ARG_BY_NAME)
    set(VARNELLO_EXEC "${ARG_PROGRAM}")
  else()
    varnello_exec_argument(VARNELLO_EXEC "${_BINDIR}/${ARG_PROGRAM}")
  endif()
  set(VARNELLO_DESKTOP_ID "${ARG_ID}")
  configure_file("${ARG_TEMPLATE}" "${ARG_STAGE}/${ARG_ID}.desktop" @ONLY)
  # file(INSTALL) puts DESTDIR in front and lists the file for the install manifest.
  file(INSTALL DESTINATION "${_DATADIR}/applications" TYPE FILE
    FILES "${ARG_STAGE}/${ARG_ID}.desktop")
  set(CMAKE_INSTALL_MANIFEST_FILES "${CMAKE_INSTALL_MANIFEST_FILES}" PARENT_SCOPE)
endfunction()
