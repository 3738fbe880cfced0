# Runs PROGRAM with an operator script and checks its exit status and, when given, that its
# standard output / error contain the expected text. EMULATOR runs a cross-built PROGRAM;
# VIEW (headless when not given) and SHOTS pass to the run-time.
if(NOT VIEW)
    set(VIEW headless)
endif()
set(shots)
if(SHOTS)
    file(REMOVE_RECURSE ${SHOTS})
    set(shots --shots ${SHOTS})
endif()
execute_process(
    COMMAND ${EMULATOR} ${PROGRAM} ${RESOURCE} --view ${VIEW} ${shots} --script ${SCRIPT}
    RESULT_VARIABLE status
    OUTPUT_VARIABLE out
    ERROR_VARIABLE err)
message("exit status ${status}\n--- stdout\n${out}--- stderr\n${err}")
if(NOT status STREQUAL EXPECT)
    message(FATAL_ERROR "expected exit status ${EXPECT}, got ${status}")
endif()
if(STDOUT_MATCH)
    string(FIND "${out}" "${STDOUT_MATCH}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "standard output lacks: ${STDOUT_MATCH}")
    endif()
endif()
if(STDERR_MATCH)
    string(FIND "${err}" "${STDERR_MATCH}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "standard error lacks: ${STDERR_MATCH}")
    endif()
endif()
foreach(picture IN LISTS PICTURES)
    if(NOT EXISTS ${SHOTS}/${picture})
        message(FATAL_ERROR "the run left no picture ${SHOTS}/${picture}")
    endif()
endforeach()
