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

# A DLL of a 32-bit stdcall interface (VISA, the instrument drivers) on Windows: named as its
# .def file says, exporting the .def's names without their argument sizes, and giving its
# clients an import library made from the .def. A client's imports are then the plain names a
# real DLL of the same interface exports, and that DLL replaces ours file for file. The .def
# lists the names as the 32-bit compiler decorates them ("viOpen@20").
#   trl4_stdcall_dll(target DEF file)
function(trl4_stdcall_dll target)
    cmake_parse_arguments(ARG "" "DEF" "" ${ARGN})
    if(NOT WIN32)
        return()
    endif()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ARG_DEF})
    file(STRINGS ${ARG_DEF} library REGEX "^LIBRARY ")
    string(REGEX REPLACE "^LIBRARY +([^ .]+)\\.dll.*" "\\1" name "${library}")
    set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${name})
    # The DLL's own export list: each plain name bound to the compiler's symbol.
    file(READ ${ARG_DEF} text)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        string(REGEX REPLACE "([A-Za-z_][A-Za-z0-9_]*)@([0-9]+)" "\\1 = \\1@\\2" text "${text}")
    else()
        string(REGEX REPLACE "@[0-9]+" "" text "${text}")
    endif()
    set(exports ${CMAKE_CURRENT_BINARY_DIR}/${name}_exports.def)
    file(CONFIGURE OUTPUT ${exports} CONTENT "${text}")
    target_sources(${target} PRIVATE ${exports})
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        set(implib ${PROJECT_BINARY_DIR}/lib/lib${name}_stdcall.a)
        add_custom_command(OUTPUT ${implib}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/lib
            COMMAND ${CMAKE_DLLTOOL} --kill-at -D ${name}.dll -d ${ARG_DEF} -l ${implib}
            DEPENDS ${ARG_DEF}
            VERBATIM)
        add_custom_target(${target}_stdcall_implib DEPENDS ${implib})
        add_dependencies(${target} ${target}_stdcall_implib)
        target_link_libraries(${target} INTERFACE ${implib})
    endif()
endfunction()

# A GoogleTest program, each test case a CTest test.
function(trl4_add_gtest name)
    cmake_parse_arguments(ARG "" "FIXTURE" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    trl4_defaults(${name})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
    if(CMAKE_CROSSCOMPILING)
        # Under an emulator each start costs a second: the program is one CTest test.
        add_test(NAME ${name} COMMAND ${name})
        set_tests_properties(${name} PROPERTIES
            WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/bin LABELS "unit;${ARG_LABELS}")
        if(ARG_FIXTURE)
            set_tests_properties(${name} PROPERTIES FIXTURES_SETUP ${ARG_FIXTURE})
        endif()
        return()
    endif()
    # A fixture: the program's cases leave files that later tests check.
    set(fixture "")
    if(ARG_FIXTURE)
        set(fixture FIXTURES_SETUP ${ARG_FIXTURE})
    endif()
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
        PROPERTIES LABELS "unit;${ARG_LABELS}" ${fixture})
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
