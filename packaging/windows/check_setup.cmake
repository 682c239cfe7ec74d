# Checks a built setup program: a PE image for the expected machine that carries a group
# icon and a version resource with the product's version. Run with -P and
#   -DSETUP=<file> -DOBJDUMP=<objdump> -DWINDRES=<windres> -DFORMAT=<pei-i386|pei-x86-64>
#   -DVERSION=<a.b.c.d>
execute_process(COMMAND ${OBJDUMP} -f ${SETUP} OUTPUT_VARIABLE header RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT header MATCHES "file format ${FORMAT}\n")
    message(FATAL_ERROR "${SETUP} is not a ${FORMAT} image:\n${header}")
endif()
execute_process(COMMAND ${WINDRES} -i ${SETUP} -O rc OUTPUT_VARIABLE resources RESULT_VARIABLE rc)
string(REPLACE "." ", " fixed "${VERSION}")
foreach(expected "RT_GROUP_ICON" "FILEVERSION ${fixed}" "VALUE \"ProductVersion\", \"${VERSION}\"")
    string(FIND "${resources}" "${expected}" at)
    if(NOT rc EQUAL 0 OR at EQUAL -1)
        message(FATAL_ERROR "${SETUP}: no ${expected} among its resources")
    endif()
endforeach()
