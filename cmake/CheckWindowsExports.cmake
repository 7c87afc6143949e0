# Fails unless the DLL's export table holds the four accessors, something of
# every exported class and free function the sources define, and nothing of
# the runtime, of the XML library or of the platform layer's internals.
# Run with -DOBJDUMP=... -DCXXFILT=... -DLIBRARY=... -DSOURCE_DIR=...
cmake_policy(VERSION 3.16)
execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY}
                OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
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
# Demangled names contain ';' and '[' now and then, so they are searched as
# one text, one name per line, rather than as a CMake list.
string(REGEX MATCHALL "\n" newlines "${exports}")
list(LENGTH newlines count)
message(STATUS "${LIBRARY} exports ${count} names")
set(exports "\n${exports}")

set(missing "")
foreach(accessor ZkFitDataManager ZkNodeDetailResDataManager ZkNodeDetailSession ZkFittingObserverManager)
  if(NOT exports MATCHES "\n${accessor}\\(\\)\n")
    list(APPEND missing "${accessor}()")
  endif()
endforeach()

# Exported classes: each one with a member defined out of line in a source
# file must show up in the table. Classes made only of inline members leave
# nothing to export, as with any compiler.
file(GLOB headers ${SOURCE_DIR}/src/*/*.h)
file(GLOB sources ${SOURCE_DIR}/src/*/*.cpp)
set(all_sources "")
foreach(source IN LISTS sources)
  file(READ ${source} text)
  string(APPEND all_sources "\n${text}")
endforeach()
foreach(header IN LISTS headers)
  file(STRINGS ${header} lines REGEX "(class|struct) ZKND_API [A-Za-z_][A-Za-z_0-9]*")
  foreach(line IN LISTS lines)
    string(REGEX MATCH "(class|struct) ZKND_API ([A-Za-z_][A-Za-z_0-9]*)" _ "${line}")
    set(cls ${CMAKE_MATCH_2})
    # A definition starts a line: "Type Class::Member(" or "Class::Class(".
    if(all_sources MATCHES "\n[A-Za-z_][^\n;]*[ *&:]${cls}::[~A-Za-z_][^\n;(]*\\([^\n;]*\n"
       OR all_sources MATCHES "\n${cls}::[~A-Za-z_][^\n;(]*\\([^\n;]*\n")
      string(FIND "${exports}" "${cls}::" found)
      if(found EQUAL -1)
        list(APPEND missing "class ${cls}")
      endif()
    endif()
  endforeach()
  # Exported free functions, e.g. "ZKND_API bool NodeDetailEx::Sort...(" or operators.
  file(STRINGS ${header} lines REGEX "^[ \t]*ZKND_API [^(]*\\(")
  foreach(line IN LISTS lines)
    if(line MATCHES "(class|struct) ZKND_API")
      continue()
    endif()
    string(REGEX MATCH "(operator[^ (]+|[A-Za-z_][A-Za-z_0-9]*) *\\(" call "${line}")
    string(REGEX REPLACE " *\\($" "(" call "${call}")
    string(FIND "${exports}" "${call}" found)
    if(found EQUAL -1)
      list(APPEND missing "function ${call}")
    endif()
  endforeach()
endforeach()
if(missing)
  list(REMOVE_DUPLICATES missing)
  string(REPLACE ";" "\n  " missing "${missing}")
  message(FATAL_ERROR "${LIBRARY} does not export:\n  ${missing}")
endif()

# Nothing of the runtime, the XML library or the internals may leak out.
string(REGEX MATCHALL
       "\n(typeinfo name for |typeinfo for |vtable for |VTT for |guard variable for )?(std::|__gnu_cxx::|__cxxabiv1::|pugi::|ZkText::|ZkFileSystem::|CoCreateGuid\n|CopyFileW\n|_wtof\n)[^\n]*"
       leaks "${exports}")
if(leaks)
  list(JOIN leaks "" leaks)
  string(REPLACE "\n" "\n  " leaks "${leaks}")
  message(FATAL_ERROR "${LIBRARY} exports what is not its own:${leaks}")
endif()
