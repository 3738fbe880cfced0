# The Debian package of the installed tree (cmake/Install.cmake), made by CPack's DEB
# generator: scripts/package-debian.
set(TRL4_PACKAGE_MAINTAINER "ТРЛ4 front-panel developers <trl4-front-panel@example.org>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME p-trl4)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${TRL4_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "front panel of the ТРЛ4 arbitrary-waveform generator")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "p_trl4 finds the carriers of ТРЛ4 mezzanines through VISA, lets the operator\n\
choose one, and shows the versions of the program, the driver and the math\n\
library, whose embedded checksum it verifies at start-up.\n\
.\n\
The package holds the math library ksptrl4_math and, as the program's\n\
built-in bench, stand-ins for VISA and both drivers over a simulated bench;\n\
a laboratory puts the real libraries first on the loader's path.")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Programs and libraries stripped on the way in; the math library is left as built
# (cmake/Install.cmake).
set(CPACK_STRIP_FILES ON)
# Libraries found by dpkg-shlibdeps, plus what is loaded at run time: Qt's platform
# plugins, and the fonts the panels name.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_INSTALL_FULL_LIBDIR}/p_trl4)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation2")
# Directories the package shares with others belong to root, mode 0755.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The changelog's newest entry names the version being packaged.
set(changelog ${CMAKE_CURRENT_LIST_DIR}/debian/changelog)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${changelog})
file(STRINGS ${changelog} newest LIMIT_COUNT 1)
if(NOT newest MATCHES "^${CPACK_PACKAGE_NAME} \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "${changelog}: the newest entry is not version ${PROJECT_VERSION}")
endif()
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_PACKAGE_NAME})
set(changelog_gz ${PROJECT_BINARY_DIR}/debian/changelog.gz)
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/debian)
execute_process(COMMAND gzip -9nc ${changelog} OUTPUT_FILE ${changelog_gz}
                RESULT_VARIABLE gzip_status)
if(NOT gzip_status EQUAL 0)
    message(FATAL_ERROR "gzip cannot compress ${changelog}")
endif()
install(FILES ${changelog_gz} ${CMAKE_CURRENT_LIST_DIR}/debian/copyright
        DESTINATION ${doc_dir})

include(CPack)
