# Checks the direction of the includes between the modules: a module's sources and headers
# include headers of its own module and of modules below it only, and nothing of the system
# includes the simulated bench. Fails naming each include that breaks the rule.
#   cmake -DSOURCE_DIR=<top> -P check_layers.cmake
#
# The modules, lowest first. The platform interfaces and the stand-ins lie below the system;
# inside the system the core lies below the procedures, and the program's shell is the top.
set(layers
    common platform/os yaml integrity tools mathlib sim platform/visa drivers/common
    drivers/kspbase drivers/ksptrl4_32 platform/panel discovery core generator calibration
    verification result app)
set(system_modules integrity discovery core generator calibration verification result app)

if(NOT SOURCE_DIR)
    message(FATAL_ERROR "check_layers.cmake: SOURCE_DIR is not set")
endif()

# Which module each header belongs to, by the name its includers write: the path under an
# include folder, or the file name of a header kept beside the sources.
set(rank 0)
foreach(module IN LISTS layers)
    string(MAKE_C_IDENTIFIER "${module}" id)
    set(rank_${id} ${rank})
    math(EXPR rank "${rank} + 1")
    file(GLOB_RECURSE headers RELATIVE ${SOURCE_DIR}/${module}
         ${SOURCE_DIR}/${module}/*.h ${SOURCE_DIR}/${module}/*.hpp)
    foreach(header IN LISTS headers)
        if(header MATCHES "(^|/)include/(.+)$")
            set(name ${CMAKE_MATCH_2})
        else()
            get_filename_component(name ${header} NAME)
        endif()
        string(MAKE_C_IDENTIFIER "${name}" key)
        # The first owner wins: a lower module's header of the same name is the one meant.
        if(NOT DEFINED owner_${key})
            set(owner_${key} ${module})
        endif()
    endforeach()
endforeach()

set(broken "")
foreach(module IN LISTS layers)
    string(MAKE_C_IDENTIFIER "${module}" id)
    list(FIND system_modules ${module} in_system)
    file(GLOB_RECURSE files ${SOURCE_DIR}/${module}/*.h ${SOURCE_DIR}/${module}/*.hpp
         ${SOURCE_DIR}/${module}/*.cpp ${SOURCE_DIR}/${module}/*.c)
    foreach(file IN LISTS files)
        file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*$" "\\1" name "${line}")
            string(MAKE_C_IDENTIFIER "${name}" key)
            if(NOT DEFINED owner_${key})
                continue()
            endif()
            set(owner ${owner_${key}})
            string(MAKE_C_IDENTIFIER "${owner}" owner_id)
            file(RELATIVE_PATH where ${SOURCE_DIR} ${file})
            if(rank_${owner_id} GREATER rank_${id})
                list(APPEND broken "${where} (${module}) includes ${name} of ${owner}, above it")
            elseif(owner STREQUAL "sim" AND in_system GREATER -1)
                list(APPEND broken "${where} (${module}) includes ${name} of the simulated bench")
            endif()
        endforeach()
    endforeach()
endforeach()

if(broken)
    list(JOIN broken "\n  " text)
    message(FATAL_ERROR "Includes against the direction of the modules:\n  ${text}")
endif()
message(STATUS "Every include points down the modules or stays within its own.")
