# Install rules and the CMake and pkg-config packages: the library (with its
# SONAME), the public headers, KezDcQrConfig.cmake with its version file
# (same-major compatibility) and exported targets, and kezdcqr.pc. Each file
# belongs to a component, from which cmake/Packaging.cmake makes the Debian
# packages: runtime (libkezdcqr0), dev (libkezdcqr-dev) and kezq.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(KEZDCQR_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/KezDcQr)

install(TARGETS KezDcQr EXPORT KezDcQrTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
install(DIRECTORY ${KEZDCQR_PUBLIC_INCLUDE_DIR}/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)
install(EXPORT KezDcQrTargets NAMESPACE KezDcQr:: DESTINATION ${KEZDCQR_CMAKE_DIR} COMPONENT dev)

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/KezDcQrConfig.cmake.in
  ${PROJECT_BINARY_DIR}/KezDcQrConfig.cmake INSTALL_DESTINATION ${KEZDCQR_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/KezDcQrConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/KezDcQrConfig.cmake ${PROJECT_BINARY_DIR}/KezDcQrConfigVersion.cmake
  DESTINATION ${KEZDCQR_CMAKE_DIR} COMPONENT dev)

# kezdcqr.pc finds the prefix from where it lies (${pcfiledir}), so that a
# tree installed with --prefix, or moved, still works.
set(KEZDCQR_PC_PREFIX "\${pcfiledir}")
string(REPLACE "/" ";" KEZDCQR_PC_DEPTH "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
foreach(component ${KEZDCQR_PC_DEPTH})
  string(APPEND KEZDCQR_PC_PREFIX "/..")
endforeach()
configure_file(${CMAKE_CURRENT_LIST_DIR}/kezdcqr.pc.in ${PROJECT_BINARY_DIR}/kezdcqr.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/kezdcqr.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
