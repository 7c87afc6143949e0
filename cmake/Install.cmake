# Installs the shared library, the headers a caller needs and a CMake package
# so that find_package(ZkNodeDetail CONFIG) works.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set_target_properties(ZkNodeDetail PROPERTIES
  VERSION ${PROJECT_VERSION}
  SOVERSION ${PROJECT_VERSION_MAJOR})

set(ZK_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/ZkNodeDetail)
target_include_directories(ZkNodeDetail INTERFACE
  $<INSTALL_INTERFACE:${ZK_INSTALL_INCLUDEDIR}>)

install(TARGETS ZkNodeDetail EXPORT ZkNodeDetailTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})

# Every header beside the sources, less the platform layer's internals.
install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/src/
  DESTINATION ${ZK_INSTALL_INCLUDEDIR}
  FILES_MATCHING PATTERN "*.h"
  PATTERN "ZkText.h" EXCLUDE
  PATTERN "ZkFileSystem.h" EXCLUDE
  PATTERN "ZkOs.h" EXCLUDE)

set(ZK_CONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/ZkNodeDetail)
install(EXPORT ZkNodeDetailTargets
  NAMESPACE ZkNodeDetail::
  DESTINATION ${ZK_CONFIG_DIR})
configure_package_config_file(
  ${CMAKE_CURRENT_SOURCE_DIR}/cmake/ZkNodeDetailConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/ZkNodeDetailConfig.cmake
  INSTALL_DESTINATION ${ZK_CONFIG_DIR})
write_basic_package_version_file(
  ${CMAKE_CURRENT_BINARY_DIR}/ZkNodeDetailConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${CMAKE_CURRENT_BINARY_DIR}/ZkNodeDetailConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/ZkNodeDetailConfigVersion.cmake
  DESTINATION ${ZK_CONFIG_DIR})
