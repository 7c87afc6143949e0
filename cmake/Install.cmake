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

# The headers a caller needs: the accessors and what they include, the host
# registration, and the property exchange that the records' DoPropExchange
# takes. Listed one by one so that a new internal header never leaks out; the
# consumer test compiles each of them on its own from the install prefix.
set(ZK_PUBLIC_HEADERS
  fitting/CFitDataManager.h
  fitting/FittingData.h
  fitting/ZkEnums.h
  frame/ZkNodeDetail.h
  frame/stu3Value.h
  nodedetail/CNodeDetailResDataManager.h
  nodedetail/NodeDetailResData.h
  observer/CFittingObserverManager.h
  observer/FittingObserver.h
  observer/PipeFitCountInfo.h
  observer/SortPipeFitCountInfo.h
  platform/AcGeScale3d.h
  platform/CString.h
  platform/CXTPPropExchange.h
  platform/NamedValue.h
  platform/ZkExport.h
  platform/ZkGuid.h
  platform/ZkHost.h
  platform/ZkPath.h
  session/CNodeDetailSession.h
  session/CPipeFittingEntInfo.h)
# A header that exports something belongs in the list.
file(GLOB ZK_ALL_HEADERS CONFIGURE_DEPENDS RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}/src
  ${CMAKE_CURRENT_SOURCE_DIR}/src/*/*.h)
foreach(header IN LISTS ZK_ALL_HEADERS)
  if(NOT header IN_LIST ZK_PUBLIC_HEADERS)
    file(STRINGS ${CMAKE_CURRENT_SOURCE_DIR}/src/${header} exported REGEX "ZKND_API")
    if(exported)
      message(FATAL_ERROR "src/${header} exports symbols but is not in ZK_PUBLIC_HEADERS")
    endif()
  endif()
endforeach()
foreach(header IN LISTS ZK_PUBLIC_HEADERS)
  get_filename_component(folder ${header} DIRECTORY)
  install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/src/${header}
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
