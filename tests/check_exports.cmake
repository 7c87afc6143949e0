# Fails unless the shared library exports the four accessors and nothing of
# the XML library or of the platform layer's internal helpers.
execute_process(COMMAND ${NM} -D -C --defined-only ${LIBRARY}
                OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
foreach(accessor ZkFitDataManager ZkNodeDetailResDataManager ZkNodeDetailSession ZkFittingObserverManager)
  if(NOT symbols MATCHES " T ${accessor}\\(\\)")
    message(FATAL_ERROR "${accessor}() is not exported")
  endif()
endforeach()
foreach(hidden "pugi::" "ZkText::" "ZkFileSystem::" "CoCreateGuid" "CopyFileW" "_wtof")
  string(FIND "${symbols}" "${hidden}" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "${hidden} leaks out of ${LIBRARY}")
  endif()
endforeach()
