# Run at install time (see CMakeLists.txt), when CMAKE_INSTALL_PREFIX holds the
# prefix actually installed to, also when it is given with `cmake --install --prefix`.
# In: VIREON_DESKTOP_IN, VIREON_DESKTOP_OUT, VIREON_BINDIR, VIREON_APPDIR (either
# relative to the prefix or absolute).
foreach(dir VIREON_BINDIR VIREON_APPDIR)
  if(NOT IS_ABSOLUTE "${${dir}}")
    set(${dir} "${CMAKE_INSTALL_PREFIX}/${${dir}}")
  endif()
endforeach()
configure_file("${VIREON_DESKTOP_IN}" "${VIREON_DESKTOP_OUT}" @ONLY)
