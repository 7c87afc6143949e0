# Packages made with CPack, from a configured and built tree:
#   cpack -G ZIP                              what `cmake --install` puts in
#                                             place: DLL or shared library, import
#                                             library, headers, zknd, CMake package
#   cpack --config CPackSourceConfig.cmake    the source tree, for a build with
#                                             another compiler (the msvc preset)
# A C++ interface binds its caller to the compiler that built it, so the
# Windows package names the compiler family: ZkNodeDetail-1.0.0-win64-mingw.zip.
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Node-detail data layer: the library, its headers and CMake package, and zknd")
set(CPACK_VERBATIM_VARIABLES ON)

if(WIN32)
  # CPack's own default says win32 for every compiler but MSVC's 64-bit one.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_SYSTEM_NAME win64)
  else()
    set(CPACK_SYSTEM_NAME win32)
  endif()
  if(MSVC)
    string(APPEND CPACK_SYSTEM_NAME -msvc)
  elseif(MINGW)
    string(APPEND CPACK_SYSTEM_NAME -mingw)
  endif()
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_SYSTEM_NAME ${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR})
  set(CPACK_GENERATOR TGZ)
endif()
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-${CPACK_SYSTEM_NAME})
# A user's package carries no debug sections (no Windows debugger reads GCC's);
# MSVC's PDB files are installed beside the DLL instead.
set(CPACK_STRIP_FILES ON)

set(CPACK_SOURCE_GENERATOR "TGZ;ZIP")
set(CPACK_SOURCE_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-source)
# Everything of the tree but git's data and the build folders (all build*/,
# as .gitignore has it), matched from the tree's root only.
string(REGEX REPLACE "([][+.*()^$?|{}])" "\\\\\\1" zk_root "${PROJECT_SOURCE_DIR}")
set(CPACK_SOURCE_IGNORE_FILES "^${zk_root}/\\.git(/|$)" "^${zk_root}/build[^/]*/")

include(CPack)
