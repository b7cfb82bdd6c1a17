# Installation, and the packages made from it: a .deb on Linux, a .zip on
# Windows.
include(GNUInstallDirs)
set(velloran_examples examples/sqlite.ini examples/sqlite-datasource.ini)
if(WIN32)
  # One folder per bitness, so both builds share one .zip.
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(velloran_windows_dir x86)
  else()
    set(velloran_windows_dir x64)
  endif()
  install(TARGETS velloran velloran-check velloran-apply velloran_setup
    RUNTIME DESTINATION ${velloran_windows_dir})
  install(FILES ${velloran_examples} README.md LICENSE DESTINATION .)
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
  # Where velloran looks for it: beside bin, whatever the library folder.
  install(TARGETS velloran_window LIBRARY DESTINATION ${VELLORAN_MODULE_DIR})
  install(TARGETS velloran_setup LIBRARY DESTINATION ${VELLORAN_SETUP_LIBRARY_DIR})
  install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(FILES ${velloran_examples} DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
  install(FILES packaging/debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
  # Debian wants the changelog and the manual pages compressed, without a
  # time stamp in the gzip header.
  set(velloran_pages velloran.1 velloran-check.1 velloran-apply.1)
  set(velloran_gzip_dir ${CMAKE_BINARY_DIR}/packaging)
  file(MAKE_DIRECTORY ${velloran_gzip_dir})
  foreach(source debian/changelog ${velloran_pages})
    if(source STREQUAL debian/changelog)
      set(input ${PROJECT_SOURCE_DIR}/packaging/debian/changelog)
    else()
      set(input ${PROJECT_SOURCE_DIR}/packaging/man/${source})
    endif()
    get_filename_component(name ${input} NAME)
    execute_process(COMMAND gzip -9nc ${input}
      OUTPUT_FILE ${velloran_gzip_dir}/${name}.gz COMMAND_ERROR_IS_FATAL ANY)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${input})
  endforeach()
  install(FILES ${velloran_gzip_dir}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
  list(TRANSFORM velloran_pages APPEND .gz)
  list(TRANSFORM velloran_pages PREPEND ${velloran_gzip_dir}/)
  install(FILES ${velloran_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(CPACK_PACKAGE_NAME velloran)
set(CPACK_PACKAGE_VENDOR Velloran)
set(CPACK_PACKAGE_CONTACT "The Velloran developers <velloran@velloran.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Installs ODBC drivers and data sources from a setup file")
set(CPACK_PACKAGE_DESCRIPTION [=[
Velloran reads one INI setup file and, through the platform's ODBC installer
library (unixODBC's libodbcinst on Linux), installs the driver manager,
translators and drivers, and adds, configures or removes data sources. The
same file provisions Linux and Windows machines.
velloran-check shows the plan of a run and the traps in a setup file without
changing anything. A generic data-source setup library lets drivers that ship
none take data-source requests.]=])
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME windows)
  # The .zip holds both bitnesses: the x86 build is installed beside this one.
  set(VELLORAN_X86_BUILD_DIR ${PROJECT_SOURCE_DIR}/build/windows-x86 CACHE PATH
    "The windows-x86 build whose programs go into the .zip's x86 folder")
  if(NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(CPACK_INSTALL_CMAKE_PROJECTS
      "${CMAKE_BINARY_DIR};velloran;ALL;/;${VELLORAN_X86_BUILD_DIR};velloran;ALL;/")
  endif()
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
