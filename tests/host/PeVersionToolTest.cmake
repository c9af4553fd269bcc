# Runs pe-version on two modules and a missing file and compares its output line by line.
# cmake -DTOOL=... -DFIXTURES=... -P PeVersionToolTest.cmake
execute_process (
    COMMAND "${TOOL}" "${FIXTURES}/v3.1.9.0-x64.dll" "${FIXTURES}/no-version-x64.dll" "${FIXTURES}/missing.dll"
    OUTPUT_VARIABLE output
    RESULT_VARIABLE status)

set (expected "${FIXTURES}/v3.1.9.0-x64.dll\t3.1.9.0\n${FIXTURES}/no-version-x64.dll\t\n${FIXTURES}/missing.dll\t\n")

if (NOT status EQUAL 0 OR NOT output STREQUAL expected)
    message (FATAL_ERROR "pe-version exited with ${status} and printed:\n${output}\nexpected:\n${expected}")
endif()
