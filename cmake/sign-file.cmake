# Signs one file in place with Authenticode (osslsigncode, SHA-256), run by the build as
#   cmake -DOSSLSIGNCODE=... -DFILE=... -DPFX=... -DPASSWORD_FILE=... [-DTIMESTAMP_URL=...] -P sign-file.cmake
# The signed copy replaces the file only when signing succeeded; a failure fails the build.
foreach(required OSSLSIGNCODE FILE PFX PASSWORD_FILE)
    if(NOT ${required})
        message(FATAL_ERROR "sign-file.cmake: ${required} is not set")
    endif()
endforeach()
set(timestamp)
if(TIMESTAMP_URL)
    set(timestamp -ts ${TIMESTAMP_URL})
endif()
set(signed "${FILE}.signed")
file(REMOVE "${signed}")
execute_process(
    COMMAND ${OSSLSIGNCODE} sign -pkcs12 ${PFX} -readpass ${PASSWORD_FILE} -h sha256
            -n "Quorvane Email History" ${timestamp} -in ${FILE} -out ${signed}
    RESULT_VARIABLE rc OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT rc EQUAL 0)
    file(REMOVE "${signed}")
    message(FATAL_ERROR "Signing ${FILE} failed:\n${output}")
endif()
file(RENAME "${signed}" "${FILE}")
