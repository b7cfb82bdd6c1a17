# Makes the .msi of one Windows build (cmake -P), as the build's velloran_msi
# target runs it:
#
#   cmake -DCONFIG=<build>/packaging/msi-config.cmake [-DVERSION=0.9.0]
#         [-DOUTPUT=FILE] [-DVELLORAN_SIGN_CERT=… -DVELLORAN_SIGN_KEY=…]
#         -P cmake/windows_msi.cmake
#
# CONFIG, written by cmake/packaging.cmake, names the built files, the
# architecture, the version and the build's signing settings; a -D given
# here wins over it (the tests make a lower version and a signed package this
# way). The files are copied to a staging folder, stripped, signed when a
# certificate is given, packed by wixl from packaging/windows/velloran.wxs,
# and the package is signed in turn.
cmake_minimum_required(VERSION 3.25)
include(${CONFIG})
include(${CMAKE_CURRENT_LIST_DIR}/signing.cmake)
if(NOT OUTPUT)
  set(OUTPUT ${OUTPUT_DIR}/velloran-${VERSION}-${ARCH}.msi)
endif()

# One product code per version and architecture, the same in every build:
# what Intune's product-code detection and `msiexec /x {code}` name.
string(UUID product_code NAMESPACE 5D0C8E8B-6F0B-4E43-9A57-0C3B8D1E2F60
  NAME "velloran-${ARCH}-${VERSION}" TYPE SHA1 UPPER)

set(stage ${OUTPUT}.stage)
file(REMOVE_RECURSE ${stage})
file(MAKE_DIRECTORY ${stage}/examples)
file(COPY ${PROGRAMS} ${LICENSE} DESTINATION ${stage})
file(COPY ${EXAMPLES} DESTINATION ${stage}/examples)
set(binaries)
foreach(program ${PROGRAMS})
  get_filename_component(name ${program} NAME)
  execute_process(COMMAND ${STRIP} ${stage}/${name} COMMAND_ERROR_IS_FATAL ANY)
  list(APPEND binaries ${stage}/${name})
endforeach()
velloran_sign_files(${binaries})

# wixl 0.101 finds no Source given as an absolute path: the names are
# relative to the staging folder, the working directory.
execute_process(COMMAND ${WIXL} -a ${ARCH} -D Arch=${ARCH} -D Version=${VERSION}
    -D ProductCode=${product_code} -D Stage=. -o ${OUTPUT}.new ${WXS}
  WORKING_DIRECTORY ${stage} RESULT_VARIABLE result ERROR_VARIABLE error)
file(REMOVE_RECURSE ${stage})
if(NOT result EQUAL 0)
  file(REMOVE ${OUTPUT}.new)
  message(FATAL_ERROR "wixl failed on ${WXS}: ${error}")
endif()
velloran_sign_files(${OUTPUT}.new)
file(RENAME ${OUTPUT}.new ${OUTPUT})
