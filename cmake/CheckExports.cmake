# Fails unless the library's exports are its public interface, read from the
# public headers (cmake/PublicApi.cmake): the four accessors are exported;
# every ZKND_API class with a member defined out of line, and every ZKND_API
# free function, shows up; and everything exported belongs to one of them,
# so nothing of the runtime, of pugixml or of the internals leaks out.
# Linux:   cmake -DNM=nm -DLIBRARY=... -DSOURCE_DIR=... -P CheckExports.cmake
# Windows: cmake -DOBJDUMP=... -DCXXFILT=... -DLIBRARY=... -DSOURCE_DIR=... -P ...
cmake_policy(VERSION 3.16)
include(${SOURCE_DIR}/cmake/PublicApi.cmake)

# Stops with the heading and the names, one a line, when there are any.
function(zk_fail_on names heading)
  if(names)
    string(REPLACE ";" "\n  " names "${names}")
    message(FATAL_ERROR "${LIBRARY} ${heading}:\n  ${names}")
  endif()
endfunction()

# The exported names, demangled, one per line.
if(NM)
  execute_process(COMMAND ${NM} -D -C --defined-only ${LIBRARY}
                  OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${NM} failed on ${LIBRARY}")
  endif()
  # "<address> <type> <name>"
  string(REGEX REPLACE "(^|\n)[0-9A-Fa-f]* *[A-Za-z] " "\\1" exports "${dump}")
else()
  execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p failed on ${LIBRARY}")
  endif()
  # The names follow the "[Ordinal/Name Pointer] Table" heading, one per line.
  string(FIND "${dump}" "[Ordinal/Name Pointer] Table" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${LIBRARY} has no export table")
  endif()
  string(SUBSTRING "${dump}" ${at} -1 dump)
  string(REGEX MATCHALL "\n\t\\[ *[0-9]+\\] [^\n]+" rows "${dump}")
  set(mangled "")
  foreach(row IN LISTS rows)
    string(REGEX REPLACE "^\n\t\\[ *[0-9]+\\] " "" name "${row}")
    string(APPEND mangled "${name}\n")
  endforeach()
  file(WRITE ${LIBRARY}.exports "${mangled}")
  execute_process(COMMAND ${CXXFILT} INPUT_FILE ${LIBRARY}.exports
                  OUTPUT_VARIABLE exports RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${CXXFILT} failed")
  endif()
endif()
# Demangled names may hold ';' and '[': they are searched as one text, and
# split into a list only with those taken out. ABI tags ("f[abi:cxx11](...)"
# for a function answering std::string) are no part of the name.
set(exports "\n${exports}")
string(REGEX REPLACE "\\[abi:[A-Za-z0-9_]+\\]" "" exports "${exports}")
string(REPLACE ";" "_" listable "${exports}")
string(REPLACE "[" "_" listable "${listable}")
string(REPLACE "]" "_" listable "${listable}")
string(REGEX REPLACE "\n+" ";" names "${listable}")
list(REMOVE_ITEM names "")
list(LENGTH names count)
message(STATUS "${LIBRARY} exports ${count} names")

zk_public_api(classes functions ${SOURCE_DIR})

set(missing "")
foreach(accessor ZkFitDataManager ZkNodeDetailResDataManager ZkNodeDetailSession
                 ZkFittingObserverManager)
  if(NOT exports MATCHES "\n${accessor}\\(\\)\n")
    list(APPEND missing "${accessor}()")
  endif()
endforeach()

# A class shows up when one of its members is defined out of line in a
# source: "Type Class::Member(" or "Class::Class(" starting a line. A class
# made only of inline members leaves nothing to export, with any compiler.
file(GLOB_RECURSE sources ${SOURCE_DIR}/src/*.cpp)
set(all_sources "")
foreach(source IN LISTS sources)
  file(READ ${source} text)
  string(APPEND all_sources "\n${text}")
endforeach()
foreach(cls IN LISTS classes)
  # Sources define members inside the class's namespace or through its
  # global name: the class is named there without its namespace.
  string(REGEX REPLACE "^.*::" "" name "${cls}")
  if(all_sources MATCHES "\n[A-Za-z_][^\n;]*[ *&:]${name}::[~A-Za-z_][^\n;(]*\\([^\n;]*\n"
     OR all_sources MATCHES "\n${name}::[~A-Za-z_][^\n;(]*\\([^\n;]*\n")
    string(FIND "${exports}" "\n${cls}::" found)
    if(found EQUAL -1)
      list(APPEND missing "class ${cls}")
    endif()
  endif()
endforeach()
foreach(function IN LISTS functions)
  string(FIND "${exports}" "\n${function}(" found)
  if(found EQUAL -1)
    list(APPEND missing "function ${function}")
  endif()
endforeach()
zk_fail_on("${missing}" "does not export")

# Everything exported is a member, the vtable or the type information of an
# exported class, or an exported free function.
set(strangers "")
foreach(name IN LISTS names)
  set(owned FALSE)
  # The qualified name before the parameters: a member's, without the
  # member, names its class.
  string(REGEX REPLACE "\\(.*" "" qualified "${name}")
  string(REGEX REPLACE "::[^:]*$" "" owner "${qualified}")
  if(name MATCHES "^(vtable for |typeinfo for |typeinfo name for )([A-Za-z_][A-Za-z_0-9:]*)$")
    if(CMAKE_MATCH_2 IN_LIST classes)
      set(owned TRUE)
    endif()
  elseif(NOT owner STREQUAL qualified AND owner IN_LIST classes)
    set(owned TRUE)
  elseif(qualified IN_LIST functions)
    set(owned TRUE)
  endif()
  if(NOT owned)
    list(APPEND strangers "${name}")
  endif()
endforeach()
zk_fail_on("${strangers}" "exports what is not its public interface")
