# Installation: the public headers, the shared library, the tool, a CMake
# package (mird_check::mird_check) and a pkg-config file; and, for a build of
# this project itself, the packages CPack makes from them (a .deb on Linux, a
# .zip for Windows).
include(CMakePackageConfigHelpers)

set(JX_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/mird_check)

# Linux: libmird_check.so.<version>, its soname link and the development link
# in the library folder. Windows: the DLL in bin beside the programs, its
# import library and module-definition file in lib.
install(TARGETS mird_check EXPORT mird_checkTargets
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
if(WIN32)
  install(FILES ${PROJECT_BINARY_DIR}/mird_check.def DESTINATION ${CMAKE_INSTALL_LIBDIR})
endif()
install(FILES include/mird_check.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY include/base DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} FILES_MATCHING PATTERN "*.h")
if(TARGET mird-check)
  install(TARGETS mird-check RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# find_package(mird_check): the imported target with its include folder; any
# release of the same major version will do.
install(EXPORT mird_checkTargets NAMESPACE mird_check:: DESTINATION ${JX_CMAKE_PACKAGE_DIR})
configure_package_config_file(cmake/mird_checkConfig.cmake.in ${PROJECT_BINARY_DIR}/mird_checkConfig.cmake
                              INSTALL_DESTINATION ${JX_CMAKE_PACKAGE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/mird_checkConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/mird_checkConfig.cmake ${PROJECT_BINARY_DIR}/mird_checkConfigVersion.cmake
        DESTINATION ${JX_CMAKE_PACKAGE_DIR})

# pkg-config: the folders relative to the file's own, so that the tree works
# wherever it is installed or unpacked.
file(RELATIVE_PATH JX_PC_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
file(RELATIVE_PATH JX_PC_LIBDIR ${CMAKE_INSTALL_PREFIX} ${CMAKE_INSTALL_FULL_LIBDIR})
file(RELATIVE_PATH JX_PC_INCLUDEDIR ${CMAKE_INSTALL_PREFIX} ${CMAKE_INSTALL_FULL_INCLUDEDIR})
string(REGEX REPLACE "/$" "" JX_PC_PREFIX "${JX_PC_PREFIX}")
configure_file(cmake/mird_check.pc.in ${PROJECT_BINARY_DIR}/mird_check.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/mird_check.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

if(NOT PROJECT_IS_TOP_LEVEL)
  return()
endif()

# make package: cpack --config build/<preset>/CPackConfig.cmake
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_PACKAGE_NAME mird_check)
set(CPACK_PACKAGE_VENDOR "mird_check developers")
set(CPACK_PACKAGE_CONTACT "mird_check developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Installed-version check library with its C toolkit, and the mird-check tool")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
if(WIN32)
  # mird_check-<version>-win64.zip / -win32.zip
  set(CPACK_GENERATOR ZIP)
else()
  # mird-check_<version>_<arch>.deb (Debian names allow no "_").
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_PACKAGE_NAME mird-check)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "mird_check developers")
  set(CPACK_DEBIAN_PACKAGE_SECTION libs)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
endif()
include(CPack)
