# Project-wide helpers: every target goes through these, so warnings, sanitizers and
# test registration stay the same everywhere.

# Warnings are errors in our own code; third-party headers come in as SYSTEM.
function(trl4_defaults target)
    target_compile_features(${target} PUBLIC cxx_std_20)
    if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
        target_compile_options(${target} PRIVATE
            -Wall -Wextra -Wpedantic -Werror -Wshadow -Wconversion -Wsign-conversion
            -Wno-error=deprecated-declarations)
    endif()
    # GCC 12 at -O3 reports impossible overlapping copies inside std::string (a known false
    # positive of its -Wrestrict); it would fail every optimised build that builds strings.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
        target_compile_options(${target} PRIVATE -Wno-restrict)
    endif()
endfunction()

# A GoogleTest program, each test case a CTest test.
function(trl4_add_gtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    trl4_defaults(${name})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
    if(CMAKE_CROSSCOMPILING)
        # Under an emulator each start costs a second: the program is one CTest test.
        add_test(NAME ${name} COMMAND ${name})
        set_tests_properties(${name} PROPERTIES
            WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/bin LABELS "unit;${ARG_LABELS}")
        return()
    endif()
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
        PROPERTIES LABELS "unit;${ARG_LABELS}")
endfunction()

# A libFuzzer target. In the fuzz build (clang, TRL4_FUZZ=ON) it is a real fuzzer run for a
# short while by CTest; in every other build the same entry point is linked with a small
# driver that replays the seed corpus, so the target always compiles and its seeds always run.
#   trl4_add_fuzzer(name SOURCES ... LIBS ... [CORPUS dir])
function(trl4_add_fuzzer name)
    cmake_parse_arguments(ARG "" "CORPUS" "SOURCES;LIBS" ${ARGN})
    if(NOT ARG_CORPUS)
        set(ARG_CORPUS ${PROJECT_SOURCE_DIR}/fuzz/corpus/${name})
    endif()
    set(target fuzz_${name})
    add_executable(${target} ${ARG_SOURCES})
    trl4_defaults(${target})
    target_link_libraries(${target} PRIVATE ${ARG_LIBS})
    if(TRL4_FUZZ)
        target_compile_options(${target} PRIVATE -fsanitize=fuzzer)
        target_link_options(${target} PRIVATE -fsanitize=fuzzer)
        add_dependencies(fuzzers ${target})
        set(work ${CMAKE_CURRENT_BINARY_DIR}/${target}_corpus)
        add_test(NAME ${target}
            COMMAND sh ${PROJECT_SOURCE_DIR}/cmake/run-fuzzer.sh $<TARGET_FILE:${target}>
                    ${work} ${ARG_CORPUS} ${TRL4_FUZZ_SECONDS})
        set_tests_properties(${target} PROPERTIES LABELS fuzz)
    else()
        target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/fuzz/replay_main.cpp)
        add_test(NAME ${target}_seeds COMMAND ${target} ${ARG_CORPUS})
        set_tests_properties(${target}_seeds PROPERTIES LABELS "unit;seeds")
    endif()
endfunction()

# A Google Benchmark program (not a test: run it by hand or from scripts/bench).
function(trl4_add_benchmark name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    trl4_defaults(${name})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark)
endfunction()
