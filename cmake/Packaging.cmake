# `make package` (cpack): three Debian packages from the install components,
# versioned from project(): libkezdcqr0 (the shared library), libkezdcqr-dev
# (headers, CMake package, kezdcqr.pc) and kezq (the tool, its manual page
# and bash completion). Depends are computed from the binaries
# (dpkg-shlibdeps), plus the packages' dependencies on one another.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kezdcqr)
set(CPACK_PACKAGE_VENDOR "KezDcQr developers")
set(CPACK_PACKAGE_CONTACT "KezDcQr developers <kezdcqr@localhost>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "one-line textual queries over databases")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_COMPONENTS_ALL runtime dev kezq)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The library of the runtime package, found in the build tree while the
# packages are made.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR})
set(CPACK_DEBIAN_DEV_PACKAGE_SHLIBDEPS OFF)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libkezdcqr0)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
  "KezDcQr library: one-line textual queries over databases\n A C++17 library that evaluates one-line queries such as\n Get(@shop:main:orders:{*}:20:amount * 2) over SQLite files and PostgreSQL\n servers, walks rows block by block and inserts rows.")
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libkezdcqr-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libsqlite3-dev, libpq-dev")
set(CPACK_COMPONENT_DEV_DEPENDS runtime)
set(CPACK_COMPONENT_DEV_DESCRIPTION
  "KezDcQr library: development files\n The public headers of KezDcQr, its CMake package (find_package(KezDcQr))\n and its pkg-config file (kezdcqr.pc).")
set(CPACK_DEBIAN_KEZQ_PACKAGE_NAME kezq)
set(CPACK_DEBIAN_KEZQ_PACKAGE_SECTION database)
set(CPACK_COMPONENT_KEZQ_DEPENDS runtime)
set(CPACK_COMPONENT_KEZQ_DESCRIPTION
  "command-line tool for KezDcQr queries\n kezq runs one-line KezDcQr queries over SQLite files and PostgreSQL\n servers: one-shot, from scripts, once per row of a table, or at a prompt,\n with table, CSV, TSV and JSON output.")
include(CPack)
