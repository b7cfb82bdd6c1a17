# Installation, and the packages made from it: a .deb on Linux, a .zip and
# an .msi on Windows.
include(GNUInstallDirs)
set(velloran_examples examples/sqlite.ini examples/sqlite-datasource.ini examples/sqlite-windows.ini)
if(WIN32)
  # One folder per bitness, so both builds share one .zip.
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(velloran_windows_dir x86)
  else()
    set(velloran_windows_dir x64)
  endif()
  install(TARGETS velloran velloran-check velloran-apply velloran_setup
    RUNTIME DESTINATION ${velloran_windows_dir})
  install(FILES ${velloran_examples} README.md CHANGELOG.md LICENSE DESTINATION .)
  # The pages the README links to.
  install(DIRECTORY docs DESTINATION .)

  # Authenticode signatures, when a certificate and its key are given: on
  # the programs and the DLL as installed (after cpack strips them, so the
  # .zip's copies are signed) and on the .msi and its files. The key stays
  # outside the source tree.
  set(VELLORAN_SIGN_CERT "$ENV{VELLORAN_SIGN_CERT}" CACHE FILEPATH
    "Authenticode certificate (PEM or DER) for the Windows programs and packages; empty: unsigned")
  set(VELLORAN_SIGN_KEY "$ENV{VELLORAN_SIGN_KEY}" CACHE FILEPATH
    "Private key of VELLORAN_SIGN_CERT (PEM or DER, not encrypted)")
  set(VELLORAN_SIGN_TIMESTAMP_URL "$ENV{VELLORAN_SIGN_TIMESTAMP_URL}" CACHE STRING
    "RFC 3161 time-stamp server for the signatures; empty: no time stamp")
  if(VELLORAN_SIGN_CERT OR VELLORAN_SIGN_KEY)
    foreach(variable VELLORAN_SIGN_CERT VELLORAN_SIGN_KEY)
      if(NOT ${variable} OR NOT EXISTS "${${variable}}")
        message(FATAL_ERROR "Signing needs both VELLORAN_SIGN_CERT and VELLORAN_SIGN_KEY, "
          "each an existing file: ${variable} is \"${${variable}}\"")
      endif()
      file(REAL_PATH "${${variable}}" file)
      cmake_path(IS_PREFIX PROJECT_SOURCE_DIR "${file}" NORMALIZE inside)
      if(inside)
        message(FATAL_ERROR "${variable} (${file}) lies in the source tree: keep "
          "certificates and keys where no commit can take them")
      endif()
    endforeach()
    find_program(VELLORAN_OSSLSIGNCODE osslsigncode REQUIRED)
    message(STATUS "Signing the Windows programs and packages with ${VELLORAN_SIGN_CERT}")
    set(velloran_signed_files)
    foreach(program velloran.exe velloran-check.exe velloran-apply.exe velloran-setup.dll)
      list(APPEND velloran_signed_files
        "\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${velloran_windows_dir}/${program}")
    endforeach()
    install(CODE "
      set(VELLORAN_SIGN_CERT [[${VELLORAN_SIGN_CERT}]])
      set(VELLORAN_SIGN_KEY [[${VELLORAN_SIGN_KEY}]])
      set(VELLORAN_SIGN_TIMESTAMP_URL [[${VELLORAN_SIGN_TIMESTAMP_URL}]])
      include([[${PROJECT_SOURCE_DIR}/cmake/signing.cmake]])
      velloran_sign_files(${velloran_signed_files})")
  endif()

  # The .msi of this build's architecture, made by a custom target that runs
  # wixl (msitools) on packaging/windows/velloran.wxs. Not a CPack
  # generator: CPack's WIX generator drives the WiX Toolset's candle and
  # light, Windows programs that take no other compiler, and CPACK_GENERATOR
  # here makes the one .zip of both builds, while each build makes its own
  # .msi. As a target of the build it comes out of every `cmake --build`
  # and is made again when a program changes.
  find_program(VELLORAN_WIXL wixl)
  if(VELLORAN_WIXL)
    set(velloran_msi_arch ${velloran_windows_dir})
    set(velloran_msi ${CMAKE_BINARY_DIR}/velloran-${PROJECT_VERSION}-${velloran_msi_arch}.msi)
    set(velloran_msi_config ${CMAKE_BINARY_DIR}/packaging/msi-config.cmake)
    list(TRANSFORM velloran_examples PREPEND ${PROJECT_SOURCE_DIR}/ OUTPUT_VARIABLE velloran_msi_examples)
    # A -D on the cmake -P command line wins over these (see the script).
    file(GENERATE OUTPUT ${velloran_msi_config} CONTENT "\
foreach(pair
    \"ARCH;${velloran_msi_arch}\" \"VERSION;${PROJECT_VERSION}\" \"OUTPUT_DIR;${CMAKE_BINARY_DIR}\"
    \"WIXL;${VELLORAN_WIXL}\" \"STRIP;${CMAKE_STRIP}\"
    \"WXS;${PROJECT_SOURCE_DIR}/packaging/windows/velloran.wxs\"
    \"PROGRAMS;$<TARGET_FILE:velloran>;$<TARGET_FILE:velloran-check>;$<TARGET_FILE:velloran-apply>;$<TARGET_FILE:velloran_setup>\"
    \"LICENSE;${PROJECT_SOURCE_DIR}/LICENSE\" \"EXAMPLES;${velloran_msi_examples}\"
    \"VELLORAN_SIGN_CERT;${VELLORAN_SIGN_CERT}\" \"VELLORAN_SIGN_KEY;${VELLORAN_SIGN_KEY}\"
    \"VELLORAN_SIGN_TIMESTAMP_URL;${VELLORAN_SIGN_TIMESTAMP_URL}\")
  list(POP_FRONT pair name)
  if(NOT DEFINED \${name})
    set(\${name} \"\${pair}\")
  endif()
endforeach()
")
    set(velloran_sign_inputs)
    if(VELLORAN_SIGN_CERT)
      set(velloran_sign_inputs ${VELLORAN_SIGN_CERT} ${VELLORAN_SIGN_KEY})
    endif()
    add_custom_command(OUTPUT ${velloran_msi}
      COMMAND ${CMAKE_COMMAND} -DCONFIG=${velloran_msi_config}
        -P ${PROJECT_SOURCE_DIR}/cmake/windows_msi.cmake
      DEPENDS velloran velloran-check velloran-apply velloran_setup
        ${velloran_msi_config} ${PROJECT_SOURCE_DIR}/cmake/windows_msi.cmake
        ${PROJECT_SOURCE_DIR}/cmake/signing.cmake ${PROJECT_SOURCE_DIR}/packaging/windows/velloran.wxs
        ${PROJECT_SOURCE_DIR}/LICENSE ${velloran_msi_examples} ${velloran_sign_inputs}
      COMMENT "Packing velloran-${PROJECT_VERSION}-${velloran_msi_arch}.msi with wixl"
      VERBATIM)
    add_custom_target(velloran_msi ALL DEPENDS ${velloran_msi})
  else()
    message(STATUS "wixl not found (Debian package wixl): no .msi")
  endif()
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
  install(DIRECTORY docs DESTINATION ${CMAKE_INSTALL_DOCDIR})
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
