# Embeds the text of kvoexp.rc and resource.h into kvoplugin, so the headless
# window stand-in builds the plug-in's dialogs from the same script that the
# resource compiler reads on Windows. Run with -P, this file writes the source.
if(CMAKE_SCRIPT_MODE_FILE)
  # Script mode: RC, HEADER and OUT are given with -D.
  function(kvoexp_c_bytes path out_var)
    file(READ ${path} hex HEX)
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    set(${out_var} "${bytes}" PARENT_SCOPE)
  endfunction()
  kvoexp_c_bytes(${RC} script_bytes)
  kvoexp_c_bytes(${HEADER} header_bytes)
  file(WRITE ${OUT}.tmp
"// Generated from kvoexp.rc and resource.h by resources.cmake; do not edit.
#include \"plugin/embedded_resources.h\"

namespace {
const char kScript[] = {
    ${script_bytes}0x00};
const char kHeader[] = {
    ${header_bytes}0x00};
}  // namespace

const char* EmbeddedResourceScript() { return kScript; }
const char* EmbeddedResourceHeader() { return kHeader; }
")
  file(COPY_FILE ${OUT}.tmp ${OUT} ONLY_IF_DIFFERENT)
  file(REMOVE ${OUT}.tmp)
  return()
endif()

if(WIN32)
  return()  # the resource compiler builds the resources into the DLL
endif()
set(kvoexp_embedded ${CMAKE_CURRENT_BINARY_DIR}/embedded_resources.cpp)
add_custom_command(
  OUTPUT ${kvoexp_embedded}
  COMMAND ${CMAKE_COMMAND} -DRC=${CMAKE_CURRENT_SOURCE_DIR}/kvoexp.rc
          -DHEADER=${CMAKE_CURRENT_SOURCE_DIR}/resource.h -DOUT=${kvoexp_embedded}
          -P ${CMAKE_CURRENT_SOURCE_DIR}/resources.cmake
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/kvoexp.rc ${CMAKE_CURRENT_SOURCE_DIR}/resource.h
          ${CMAKE_CURRENT_SOURCE_DIR}/resources.cmake
  COMMENT "Embedding kvoexp.rc and resource.h"
  VERBATIM)
target_sources(kvoplugin PRIVATE ${kvoexp_embedded})
