# Runs one QTest program of the Windows build and prints its log, so that CTest sees its result
# lines. QTest on Windows writes to the debugger rather than to standard output when the
# program has no console, as under Wine with CTest's pipes; its log file it writes everywhere.
#
#   cmake -DEMULATOR=<wine or empty> -DPROGRAM=<test .exe> -DLOG=<file> [-DFUNCTIONS=<a,b>]
#         -P RunWindowsTest.cmake
file(REMOVE "${LOG}")
string(REPLACE "," ";" functions "${FUNCTIONS}")
execute_process(COMMAND ${EMULATOR} "${PROGRAM}" ${functions} -o "${LOG},txt"
                RESULT_VARIABLE status)
if(EXISTS "${LOG}")
    file(READ "${LOG}" log)
    message("${log}")
endif()
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} ended with ${status}")
endif()
