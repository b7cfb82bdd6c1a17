# Installation, and the packages made from it: a .deb on Linux, a .zip on
# Windows.
include(GNUInstallDirs)
set(velloran_examples examples/sqlite.ini examples/sqlite-datasource.ini)
if(WIN32)
  install(TARGETS velloran velloran-check velloran-apply RUNTIME DESTINATION .)
  install(FILES ${velloran_examples} README.md DESTINATION .)
else()
  # Beside the distribution's ODBC drivers and setup libraries, the path the
  # example setup file names.
  if(CMAKE_LIBRARY_ARCHITECTURE)
    set(velloran_odbc_dir lib/${CMAKE_LIBRARY_ARCHITECTURE}/odbc)
  else()
    set(velloran_odbc_dir ${CMAKE_INSTALL_LIBDIR}/odbc)
  endif()
  set(VELLORAN_SETUP_LIBRARY_DIR ${velloran_odbc_dir} CACHE STRING
    "Where the data-source setup library goes, relative to the prefix")
  install(TARGETS velloran velloran-check velloran-apply RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(TARGETS velloran_setup LIBRARY DESTINATION ${VELLORAN_SETUP_LIBRARY_DIR})
  install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(FILES ${velloran_examples} DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
endif()

set(CPACK_PACKAGE_NAME velloran)
set(CPACK_PACKAGE_VENDOR Velloran)
set(CPACK_PACKAGE_CONTACT "Velloran maintainers <velloran@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Installs ODBC drivers and data sources from a setup file")
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION admin)
  # dpkg-shlibdeps finds libodbcinst2 through the setup library, which links
  # it; the program itself only loads it at run time.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "unixodbc, libsqliteodbc")
endif()
include(CPack)
