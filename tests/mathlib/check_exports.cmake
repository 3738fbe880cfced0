# cmake -DOBJDUMP=... -DDLL=... -P check_exports.cmake: the DLL exports exactly the fifteen
# undecorated names (no "@28", no leading underscore, nothing else).
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "objdump failed on ${DLL}")
endif()
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n([^\n]+\n)+" table "${dump}")
string(REGEX MATCHALL "\\[ *[0-9]+\\] [^\n]+" rows "${table}")
set(found)
foreach(row IN LISTS rows)
    string(REGEX REPLACE "^\\[ *[0-9]+\\] +" "" name "${row}")
    list(APPEND found "${name}")
endforeach()
list(SORT found)
set(expected
    ksptrl4Math_ADCcod2val ksptrl4Math_attCod2val ksptrl4Math_attVal2cod
    ksptrl4Math_cod16_2val ksptrl4Math_cod24_2val
    ksptrl4Math_double2cod16 ksptrl4Math_double2cod16_2chans
    ksptrl4Math_double2cod24 ksptrl4Math_double2cod24_2chans
    ksptrl4Math_float2cod16 ksptrl4Math_float2cod16_2chans
    ksptrl4Math_float2cod24 ksptrl4Math_float2cod24_2chans
    ksptrl4_povCheckValueAbs ksptrl4_povCheckValueProc)
list(SORT expected)
if(NOT found STREQUAL expected)
    message(FATAL_ERROR "export table differs.\n  found:    ${found}\n  expected: ${expected}")
endif()
message(STATUS "15 undecorated exports")
