# Checks of the installed package: its version file, its headers, and that
# nothing of an internal/ folder went into it.

if(NOT ZkNodeDetail_VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+$")
  message(FATAL_ERROR "the package reports no version: '${ZkNodeDetail_VERSION}'")
endif()
# The version of the library file, when the caller of this project knows it.
if(DEFINED ZK_EXPECTED_VERSION AND NOT ZkNodeDetail_VERSION VERSION_EQUAL ZK_EXPECTED_VERSION)
  message(FATAL_ERROR "package version ${ZkNodeDetail_VERSION}, library ${ZK_EXPECTED_VERSION}")
endif()
# A newer major version is another interface: the version file must refuse
# it. A refused search forgets the package's folder, so it is put back.
function(zk_expect_refused version)
  set(found_dir ${ZkNodeDetail_DIR})
  find_package(ZkNodeDetail ${version} CONFIG QUIET)
  set(ZkNodeDetail_DIR ${found_dir} CACHE PATH "The folder of ZkNodeDetailConfig.cmake" FORCE)
  if(ZkNodeDetail_FOUND)
    message(FATAL_ERROR "version ${ZkNodeDetail_VERSION} was accepted for ${version}")
  endif()
endfunction()
math(EXPR zk_next_major "${ZkNodeDetail_VERSION_MAJOR} + 1")
zk_expect_refused(${zk_next_major}.0)

get_target_property(zk_include_dirs ZkNodeDetail::ZkNodeDetail INTERFACE_INCLUDE_DIRECTORIES)
list(LENGTH zk_include_dirs zk_count)
if(NOT zk_count EQUAL 1)
  message(FATAL_ERROR "expected one include directory, got '${zk_include_dirs}'")
endif()

# Headers in internal/ folders belong to the library alone.
file(GLOB_RECURSE zk_installed RELATIVE ${zk_include_dirs} ${zk_include_dirs}/*)
foreach(path IN LISTS zk_installed)
  if(path MATCHES "(^|/)internal/")
    message(FATAL_ERROR "${path} was installed: internal/ stays out of the package")
  endif()
endforeach()

# Every installed header compiles on its own, twice in a row, with the
# caller's strictest usual warnings: one translation unit per header.
file(GLOB_RECURSE zk_headers RELATIVE ${zk_include_dirs} ${zk_include_dirs}/*.h)
if(NOT "frame/ZkNodeDetail.h" IN_LIST zk_headers)
  message(FATAL_ERROR "frame/ZkNodeDetail.h is not installed under ${zk_include_dirs}")
endif()
set(zk_header_sources)
foreach(header IN LISTS zk_headers)
  string(MAKE_C_IDENTIFIER ${header} name)
  set(source ${CMAKE_CURRENT_BINARY_DIR}/headers/${name}.cpp)
  file(WRITE ${source}.in "#include \"${header}\"\n#include \"${header}\"\n")
  configure_file(${source}.in ${source} COPYONLY)
  list(APPEND zk_header_sources ${source})
endforeach()
add_library(installed_headers OBJECT ${zk_header_sources})
target_link_libraries(installed_headers PRIVATE ZkNodeDetail::ZkNodeDetail)
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  target_compile_options(installed_headers PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Werror)
endif()
