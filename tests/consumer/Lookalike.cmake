# The look-alike module (lookalike.cpp): the platform's own CString, POSITION,
# CXTPPropExchange, AcGeScale3d, NamedValueSet and NamedValue declared first,
# then every public header of the library. Used by the consumer project
# against the installed package and by the tests against the build tree.

set(ZK_LOOKALIKE_DIR ${CMAKE_CURRENT_LIST_DIR})

# Adds executable <name>, linked to <library>, whose ZkAllHeaders.h includes
# every public header found under <include_dir> (internal/ folders left out).
function(zk_add_lookalike name library include_dir)
  file(GLOB_RECURSE headers RELATIVE ${include_dir} ${include_dir}/*.h)
  list(SORT headers)
  set(text "")
  foreach(header IN LISTS headers)
    if(NOT header MATCHES "(^|/)internal/")
      string(APPEND text "#include \"${header}\"\n")
    endif()
  endforeach()
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${name}-include)
  file(WRITE ${dir}/ZkAllHeaders.h.in "${text}")
  configure_file(${dir}/ZkAllHeaders.h.in ${dir}/ZkAllHeaders.h COPYONLY)

  add_executable(${name} ${ZK_LOOKALIKE_DIR}/lookalike.cpp)
  target_include_directories(${name} PRIVATE ${dir})
  # What the module's build defines: it has the toolkit, the geometry library
  # and the host's named values. MFC announces itself.
  target_compile_definitions(${name} PRIVATE ZKND_MODULE_HAS_XTP ZKND_MODULE_HAS_ACGE
                                             ZKND_MODULE_HAS_NAMEDVALUE)
  target_link_libraries(${name} PRIVATE ${library})
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${name} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Werror)
  endif()
endfunction()
