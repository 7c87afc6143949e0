# The library's public interface, read from its headers. One rule: a header
# under src/ is public and installed unless it sits in an internal/ folder,
# and what a public header declares with ZKND_API is exported; nothing else
# is. Used when configuring (installation, the check below, the Linux
# version script) and by cmake/CheckExports.cmake.

# The header's lines, with ';', '[' and ']' taken out so that each line is
# one list element.
function(zk_header_lines out file)
  file(READ ${file} text)
  string(REPLACE ";" "" text "${text}")
  string(REPLACE "[" "" text "${text}")
  string(REPLACE "]" "" text "${text}")
  string(REPLACE "\n" ";" lines "${text}")
  set(${out} "${lines}" PARENT_SCOPE)
endfunction()

# Headers under src/, relative to it: the public ones in <public_out>, the
# ones of internal/ folders in <internal_out>.
function(zk_headers public_out internal_out source_dir)
  if(CMAKE_SCRIPT_MODE_FILE)
    file(GLOB_RECURSE all RELATIVE ${source_dir}/src ${source_dir}/src/*.h)
  else()
    # A header added, removed or edited configures again.
    file(GLOB_RECURSE all CONFIGURE_DEPENDS RELATIVE ${source_dir}/src ${source_dir}/src/*.h)
    foreach(header IN LISTS all)
      set_property(DIRECTORY ${source_dir} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                   ${source_dir}/src/${header})
    endforeach()
  endif()
  list(SORT all)
  set(public "")
  set(internal "")
  foreach(header IN LISTS all)
    if(header MATCHES "(^|/)internal/")
      list(APPEND internal ${header})
    else()
      list(APPEND public ${header})
    endif()
  endforeach()
  set(${public_out} "${public}" PARENT_SCOPE)
  set(${internal_out} "${internal}" PARENT_SCOPE)
endfunction()

# Fails unless the paths tell the truth: no internal header exports anything,
# and no public header includes an internal one (it could not be compiled
# from the installed package).
function(zk_check_headers source_dir)
  zk_headers(public internal ${source_dir})
  foreach(header IN LISTS public internal)
    if(header IN_LIST internal)
      set(forbidden "ZKND_API")
      set(why "is internal but exports with ZKND_API")
    else()
      set(forbidden "#include \"[^\"]*internal/")
      set(why "is public but includes an internal header")
    endif()
    file(STRINGS ${source_dir}/src/${header} found REGEX "${forbidden}")
    if(found)
      message(FATAL_ERROR "src/${header} ${why}")
    endif()
  endforeach()
endfunction()

# What the public headers declare with ZKND_API: the classes and structs
# exported whole ("class ZKND_API Name") or member by member (a member
# declaration starting with ZKND_API) in <classes_out>; free functions
# ("operator+" for operators) in <functions_out>. Both are qualified by their
# namespace.
function(zk_public_api classes_out functions_out source_dir)
  zk_headers(public internal ${source_dir})
  set(classes "")
  set(functions "")
  foreach(header IN LISTS public)
    zk_header_lines(lines ${source_dir}/src/${header})
    set(ns "")
    set(cls "")
    foreach(line IN LISTS lines)
      if(line MATCHES "^namespace ([A-Za-z_][A-Za-z_0-9]*) {")
        set(ns "${CMAKE_MATCH_1}::")
      elseif(line MATCHES "^}  // namespace")
        set(ns "")
      elseif(line MATCHES "^(class|struct) ZKND_API ([A-Za-z_][A-Za-z_0-9]*)")
        list(APPEND classes "${ns}${CMAKE_MATCH_2}")
        set(cls "")
      elseif(line MATCHES "^(class|struct) ([A-Za-z_][A-Za-z_0-9]*)[^A-Za-z_0-9]*[:{]")
        set(cls "${ns}${CMAKE_MATCH_2}")
      elseif(line MATCHES "^    ZKND_API " AND cls)
        list(APPEND classes "${cls}")
      elseif(line MATCHES "^ZKND_API [^(]*[ *&](operator[^ (]+|[A-Za-z_][A-Za-z_0-9]*) *\\(")
        list(APPEND functions "${ns}${CMAKE_MATCH_1}")
      endif()
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES classes)
  list(REMOVE_DUPLICATES functions)
  set(${classes_out} "${classes}" PARENT_SCOPE)
  set(${functions_out} "${functions}" PARENT_SCOPE)
endfunction()

# An ELF version script that exports the public interface and nothing else.
# Hidden visibility alone still exports the standard library's templates as
# instantiated for exported classes (std::vector<FittingData>::...).
function(zk_write_version_script file source_dir)
  zk_public_api(classes functions ${source_dir})
  set(patterns "")
  foreach(cls IN LISTS classes)
    string(APPEND patterns "      ${cls}::*;\n")
    foreach(what "vtable for" "typeinfo for" "typeinfo name for")
      string(APPEND patterns "      \"${what} ${cls}\";\n")
    endforeach()
  endforeach()
  set(globs "")
  foreach(function IN LISTS functions)
    # Unquoted patterns take only letters, digits, '_' and '::'; '?' stands
    # for anything else, such as an operator's sign or the '(' or ABI tag
    # that follows.
    string(REGEX REPLACE "[^A-Za-z0-9_:]" "?" glob "${function}")
    list(APPEND globs "${glob}?*")
  endforeach()
  list(REMOVE_DUPLICATES globs)
  foreach(glob IN LISTS globs)
    string(APPEND patterns "      ${glob};\n")
  endforeach()
  file(WRITE ${file}.in "{\n  global:\n    extern \"C++\" {\n${patterns}    };\n  local: *;\n};\n")
  configure_file(${file}.in ${file} COPYONLY)
endfunction()
