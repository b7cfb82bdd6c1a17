# Authenticode signing of the Windows programs, the setup library and the
# .msi with osslsigncode, when the build is given a certificate and its key.
#
# Included by the steps that sign, cmake/windows_msi.cmake and the install
# step of the .zip, with the variables cmake/packaging.cmake documents and
# checks: VELLORAN_SIGN_CERT, VELLORAN_SIGN_KEY, VELLORAN_SIGN_TIMESTAMP_URL.

# Signs each file in place; nothing without a certificate.
function(velloran_sign_files)
  if(NOT VELLORAN_SIGN_CERT)
    return()
  endif()
  find_program(VELLORAN_OSSLSIGNCODE osslsigncode REQUIRED)
  set(timestamp)
  if(VELLORAN_SIGN_TIMESTAMP_URL)
    set(timestamp -ts ${VELLORAN_SIGN_TIMESTAMP_URL})
  endif()
  foreach(file ${ARGN})
    # osslsigncode writes a new file; signing again replaces the signature.
    execute_process(COMMAND ${VELLORAN_OSSLSIGNCODE} sign
        -certs ${VELLORAN_SIGN_CERT} -key ${VELLORAN_SIGN_KEY} -h sha256
        -n Velloran -i https://velloran.org ${timestamp}
        -in ${file} -out ${file}.signed
      OUTPUT_QUIET RESULT_VARIABLE result ERROR_VARIABLE error)
    if(NOT result EQUAL 0)
      file(REMOVE ${file}.signed)
      message(FATAL_ERROR "osslsigncode could not sign ${file}: ${error}")
    endif()
    file(RENAME ${file}.signed ${file})
  endforeach()
endfunction()
