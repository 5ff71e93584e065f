# Run with -P by plugin/CMakeLists.txt: writes OUT, a source that embeds the
# text of kvoexp.rc (RC) and resource.h (HEADER) into kvoplugin, so the
# headless window stand-in builds the plug-in's dialogs from the same script
# that the resource compiler reads on Windows.
if(NOT CMAKE_SCRIPT_MODE_FILE OR NOT RC OR NOT HEADER OR NOT OUT)
  message(FATAL_ERROR "run as cmake -DRC=... -DHEADER=... -DOUT=... -P embed_resources.cmake")
endif()
function(kvoexp_c_bytes path out_var)
  file(READ ${path} hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  set(${out_var} "${bytes}" PARENT_SCOPE)
endfunction()
kvoexp_c_bytes(${RC} script_bytes)
kvoexp_c_bytes(${HEADER} header_bytes)
file(WRITE ${OUT}.tmp
"// Generated from kvoexp.rc and resource.h by embed_resources.cmake; do not edit.
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
