# Fails unless the module's defined dynamic symbols are exactly the four
# plug-in exports. Run as: cmake -DNM=<nm> -DMODULE=<path> -P <this file>
execute_process(COMMAND ${NM} -D --defined-only ${MODULE}
                OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${MODULE}")
endif()
string(REPLACE "\n" ";" lines "${listing}")
set(names "")
foreach(line IN LISTS lines)
  # "<address> <type> <name>"; the name may carry a version suffix.
  if(line MATCHES "^[0-9a-fA-F]+ ([A-Za-z]) ([^@ ]+)")
    list(APPEND names "${CMAKE_MATCH_2}")
  endif()
endforeach()
list(SORT names)
set(expected LibClassDesc LibDescription LibNumberClasses LibVersion)
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "${MODULE} exports [${names}], expected exactly [${expected}]")
endif()
message(STATUS "${MODULE} exports exactly: ${names}")
