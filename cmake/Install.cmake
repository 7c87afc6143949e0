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
if(MSVC)
  # The debugger's symbols beside the DLL, in the configurations that make them.
  install(FILES $<TARGET_PDB_FILE:ZkNodeDetail> DESTINATION ${CMAKE_INSTALL_BINDIR} OPTIONAL)
endif()

# Every public header, in its folder: all of src/ but the internal/ folders
# (cmake/PublicApi.cmake). The consumer test compiles each of them on its own
# from the install prefix.
zk_headers(zk_public_headers zk_internal_headers ${PROJECT_SOURCE_DIR})
foreach(header IN LISTS zk_public_headers)
  get_filename_component(folder ${header} DIRECTORY)
  install(FILES ${PROJECT_SOURCE_DIR}/src/${header}
    DESTINATION ${ZK_INSTALL_INCLUDEDIR}/${folder})
endforeach()

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
