# Fails unless the library's exports are its public interface, read from the
# public headers (cmake/PublicApi.cmake): the four accessors are exported;
# every ZKND_API class with a member defined out of line, and every ZKND_API
# free function, shows up; and everything exported belongs to one of them,
# so nothing of the runtime, of pugixml or of the internals leaks out.
# Linux:   cmake -DNM=nm -DLIBRARY=... -DSOURCE_DIR=... -P CheckExports.cmake
# MinGW:   cmake -DOBJDUMP=... -DCXXFILT=... -DLIBRARY=... -DSOURCE_DIR=... -P ...
# MSVC:    cmake -DDUMPBIN=dumpbin -DLIBRARY=... -DSOURCE_DIR=... -P ...
cmake_policy(VERSION 3.16)
include(${SOURCE_DIR}/cmake/PublicApi.cmake)

# Operators by their code in a Microsoft decorated name ("??H" is operator+).
set(zk_msvc_operators
  "2=operator new" "3=operator delete" "4=operator=" "5=operator>>" "6=operator<<"
  "7=operator!" "8=operator==" "9=operator!=" "A=operator[]" "B=operator conversion"
  "C=operator->" "D=operator*" "E=operator++" "F=operator--" "G=operator-" "H=operator+"
  "I=operator&" "J=operator->*" "K=operator/" "L=operator%" "M=operator<" "N=operator<="
  "O=operator>" "P=operator>=" "Q=operator," "R=operator()" "S=operator~" "T=operator^"
  "U=operator|" "V=operator&&" "W=operator||" "X=operator*=" "Y=operator+=" "Z=operator-="
  "_0=operator/=" "_1=operator%=" "_2=operator>>=" "_3=operator<<=" "_4=operator&="
  "_5=operator|=" "_6=operator^=" "_U=operator new[]" "_V=operator delete[]")

# A Microsoft decorated name written as the GNU demangler writes the same
# entity, as far as the rule looks: "Class::Member(...)", "ns::function()" for
# one without arguments, "vtable for Class", "typeinfo for Class", or the name
# itself when it is not a C++ one. What this does not read (templates) stays
# as it is, and so cannot belong to the public interface.
function(zk_msvc_name out decorated)
  set(name "${decorated}")
  if(NOT decorated MATCHES "^\\?")
    set(${out} "${decorated}" PARENT_SCOPE)  # a C name
    return()
  elseif(decorated MATCHES "^\\?\\?_7(.*)$")
    set(what "vtable for ")
    set(rest "${CMAKE_MATCH_1}")
  elseif(decorated MATCHES "^\\?\\?_R4(.*)$" OR decorated MATCHES "^\\?\\?_R0\\?A[UV](.*)$")
    set(what "typeinfo for ")
    set(rest "${CMAKE_MATCH_1}")
  elseif(decorated MATCHES "^\\?\\?(_?_?[0-9A-Z])(.*)$")
    set(what "special")
    set(code "${CMAKE_MATCH_1}")
    set(rest "${CMAKE_MATCH_2}")
  elseif(decorated MATCHES "^\\?([A-Za-z_][A-Za-z_0-9]*)@(.*)$")
    set(what "")
    set(name "${CMAKE_MATCH_1}")
    set(rest "${CMAKE_MATCH_2}")
  else()
    set(${out} "${decorated}" PARENT_SCOPE)
    return()
  endif()
  # The enclosing scopes, innermost first, up to "@@"; a digit stands for
  # the name of that rank met before.
  set(seen "")
  if(what STREQUAL "")
    list(APPEND seen "${name}")
  endif()
  set(scopes "")
  while(NOT rest MATCHES "^@")
    if(NOT rest MATCHES "^([^@]+)@(.*)$")
      set(${out} "${decorated}" PARENT_SCOPE)
      return()
    endif()
    set(part "${CMAKE_MATCH_1}")
    set(rest "${CMAKE_MATCH_2}")
    if(part MATCHES "^[0-9]$")
      list(LENGTH seen count)
      if(NOT part LESS count)
        set(${out} "${decorated}" PARENT_SCOPE)
        return()
      endif()
      list(GET seen ${part} part)
    elseif(part MATCHES "^[A-Za-z_][A-Za-z_0-9]*$")
      list(APPEND seen "${part}")
    else()
      set(${out} "${decorated}" PARENT_SCOPE)  # a template or a local scope
      return()
    endif()
    list(INSERT scopes 0 "${part}")
  endwhile()
  string(SUBSTRING "${rest}" 1 -1 type)
  string(REPLACE ";" "::" qualified "${scopes}")
  if(what MATCHES " for $")
    set(${out} "${what}${qualified}" PARENT_SCOPE)
    return()
  endif()
  if(what STREQUAL "special")
    list(LENGTH scopes count)
    if(count GREATER 0)
      math(EXPR last "${count} - 1")
      list(GET scopes ${last} innermost)
    endif()
    if(code STREQUAL "0" AND count GREATER 0)
      set(name "${innermost}")
    elseif(code STREQUAL "1" AND count GREATER 0)
      set(name "~${innermost}")
    else()
      set(name "")
      foreach(entry IN LISTS zk_msvc_operators)
        if(entry MATCHES "^${code}=(.*)$")
          set(name "${CMAKE_MATCH_1}")
        endif()
      endforeach()
      if(name STREQUAL "")
        set(name "`${code}'")  # one of the compiler's own members
      endif()
    endif()
  endif()
  if(qualified STREQUAL "")
    set(qualified "${name}")
  else()
    string(APPEND qualified "::${name}")
  endif()
  if(type MATCHES "^[0-4]")
    set(${out} "${qualified}" PARENT_SCOPE)  # a variable
  elseif(type MATCHES "XZ$")
    set(${out} "${qualified}()" PARENT_SCOPE)  # a function of no arguments
  else()
    set(${out} "${qualified}(...)" PARENT_SCOPE)
  endif()
endfunction()

# Stops with the heading and the names, one a line, when there are any.
function(zk_fail_on names heading)
  if(names)
    string(REPLACE ";" "\n  " names "${names}")
    message(FATAL_ERROR "${LIBRARY} ${heading}:\n  ${names}")
  endif()
endfunction()

# What the tool (the command and its options, before the library) prints of
# the library, from the heading of its export table on.
function(zk_export_table out heading)
  execute_process(COMMAND ${ARGN} ${LIBRARY} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "${command} failed on ${LIBRARY}")
  endif()
  string(FIND "${dump}" "${heading}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${LIBRARY} has no export table")
  endif()
  string(SUBSTRING "${dump}" ${at} -1 dump)
  set(${out} "${dump}" PARENT_SCOPE)
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
elseif(DUMPBIN)
  # "ordinal hint RVA name" heads the table; a row is "1 0 00001000 ?f@@YAXXZ",
  # perhaps followed by " = ..." or the undecorated name.
  zk_export_table(dump "ordinal hint" ${DUMPBIN} /nologo /exports)
  string(REPLACE "\r" "" dump "${dump}")
  string(REGEX MATCHALL "\n +[0-9]+ +[0-9A-Fa-f]+ +[0-9A-Fa-f]+ +[^ \n]+" rows "${dump}")
  set(exports "")
  foreach(row IN LISTS rows)
    string(REGEX REPLACE "^\n +[0-9]+ +[0-9A-Fa-f]+ +[0-9A-Fa-f]+ +" "" decorated "${row}")
    zk_msvc_name(name "${decorated}")
    string(APPEND exports "${name}\n")
  endforeach()
else()
  # The names follow the "[Ordinal/Name Pointer] Table" heading, one per line.
  zk_export_table(dump "[Ordinal/Name Pointer] Table" ${OBJDUMP} -p)
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
