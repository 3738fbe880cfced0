# The installed tree of the Linux program, and its Debian package (cmake/Package.cmake):
#
#   bin/p_trl4, bin/crcstamp
#   lib/<multiarch>/p_trl4/   the math library and, as the program's built-in bench, the VISA
#                             and driver stand-ins with the bench library; private to the
#                             program, found through a RUNPATH relative to it
#   share/p_trl4/             the panel resource and resources/ with its pictures
#   share/applications/, share/icons/hicolor/64x64/apps/, share/doc/<package>/
#   share/man/man1/           the manual pages of p_trl4 and crcstamp
#   lib/environment.d/        the drop-in adding the math library's folder to the machine's PATH
include(GNUInstallDirs)

set(TRL4_PRIVATE_LIBDIR ${CMAKE_INSTALL_LIBDIR}/p_trl4)
set(TRL4_DATADIR ${CMAKE_INSTALL_DATADIR}/p_trl4)

# The program asks for the stand-ins by SONAME; a real library under that name takes a
# stand-in's place from a folder in LD_LIBRARY_PATH, which the loader searches before RUNPATH.
set(trl4_shared_libraries visa kspbase ksptrl4_32 trl4sim ksptrl4_math)
foreach(library IN LISTS trl4_shared_libraries)
    set_target_properties(${library} PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION 1)
endforeach()
set_target_properties(ksptrl4_math PROPERTIES VERSION 1.0)

file(RELATIVE_PATH trl4_bin_to_libs /${CMAKE_INSTALL_BINDIR} /${TRL4_PRIVATE_LIBDIR})
set_target_properties(p_trl4 PROPERTIES INSTALL_RPATH "$ORIGIN/${trl4_bin_to_libs}")
set_target_properties(visa kspbase ksptrl4_32 PROPERTIES INSTALL_RPATH "$ORIGIN")
# RUNPATH, not RPATH: LD_LIBRARY_PATH must still win over the built-in bench.
foreach(target IN ITEMS p_trl4 visa kspbase ksptrl4_32)
    target_link_options(${target} PRIVATE LINKER:--enable-new-dtags)
endforeach()
# The math library must keep the bytes its checksum marker was stamped over: it links
# nothing of ours (no RUNPATH to rewrite), is installed as plain files (never stripped on
# the way), and an optimised build strips it while linking, before the stamp.
set_target_properties(ksptrl4_math PROPERTIES SKIP_BUILD_RPATH ON INSTALL_RPATH "")
target_link_options(ksptrl4_math PRIVATE $<$<CONFIG:Release>:LINKER:--strip-all>)

install(TARGETS p_trl4 crcstamp RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS visa kspbase ksptrl4_32 trl4sim
        LIBRARY DESTINATION ${TRL4_PRIVATE_LIBDIR} NAMELINK_SKIP)
# With its plain file name too, the one the start-up check looks for.
install(FILES $<TARGET_FILE:ksptrl4_math> $<TARGET_SONAME_FILE:ksptrl4_math>
              $<TARGET_LINKER_FILE:ksptrl4_math>
        DESTINATION ${TRL4_PRIVATE_LIBDIR})

install(FILES ${PROJECT_SOURCE_DIR}/app/p_trl4.uir DESTINATION ${TRL4_DATADIR})
install(FILES ${PROJECT_SOURCE_DIR}/app/resources/picture_2.png
              ${PROJECT_SOURCE_DIR}/app/resources/vxi_logo.png
        DESTINATION ${TRL4_DATADIR}/resources)
install(FILES ${PROJECT_SOURCE_DIR}/app/desktop/p_trl4.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/app/resources/picture_2.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps RENAME p_trl4.png)

# The start-up check looks for the math library along the machine's PATH (/etc/environment
# and the environment.d drop-ins); the drop-in adds the library's folder, as the Windows
# installer adds its folder to the machine's Path. Its name sorts after 99-environment.conf,
# through which systemd reads /etc/environment, so a PATH set there does not drop the folder.
set(trl4_dropin ${PROJECT_BINARY_DIR}/environment.d/99-p_trl4.conf)
set(trl4_math_folder ${CMAKE_INSTALL_FULL_LIBDIR}/p_trl4)
file(CONFIGURE OUTPUT ${trl4_dropin} @ONLY CONTENT
     "# The folder of p_trl4's math library, for the program's start-up check.\nPATH=\${PATH}:@trl4_math_folder@\n")
install(FILES ${trl4_dropin} DESTINATION lib/environment.d)

# Manual pages, compressed as Debian wants them (gzip -9n: no name, no time stamp).
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/man)
foreach(page ${PROJECT_SOURCE_DIR}/app/man/p_trl4.1 ${PROJECT_SOURCE_DIR}/tools/crcstamp/crcstamp.1)
    get_filename_component(name ${page} NAME)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${page})
    execute_process(COMMAND gzip -9nc ${page} OUTPUT_FILE ${PROJECT_BINARY_DIR}/man/${name}.gz
                    RESULT_VARIABLE gzip_status)
    if(NOT gzip_status EQUAL 0)
        message(FATAL_ERROR "gzip cannot compress ${page}")
    endif()
    install(FILES ${PROJECT_BINARY_DIR}/man/${name}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

include(${CMAKE_CURRENT_LIST_DIR}/Package.cmake)
