# The loadable plug-in module: kvoexp.dll on Windows, lib/kvoexp.so elsewhere.
# It holds the whole plug-in library and exports only the four functions the
# host looks up by name.
set(kvoexp_module_sources
    ${CMAKE_CURRENT_SOURCE_DIR}/module_objects.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/module_entry.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/module_exports.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/kvo_exp_class_desc.cpp)

add_library(kvoexp_module MODULE ${kvoexp_module_sources})
set_target_properties(kvoexp_module PROPERTIES
    OUTPUT_NAME kvoexp
    PREFIX ""
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
target_link_libraries(kvoexp_module PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,kvoplugin>")

if(WIN32)
  # Self-contained DLL: the host stand-in, libgcc and libstdc++ linked in, the
  # exports named by the .def file (plain cdecl names, no decoration).
  target_sources(kvoexp_module PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/kvoexp.def)
  target_link_options(kvoexp_module PRIVATE -static -static-libgcc -static-libstdc++)
  target_link_libraries(kvoexp_module PRIVATE comctl32 shell32)
  # The resource script, compiled by the toolchain's resource compiler alone so
  # that the C++ warning flags never reach it.
  set(kvoexp_res ${CMAKE_CURRENT_BINARY_DIR}/kvoexp_res.o)
  add_custom_command(
      OUTPUT ${kvoexp_res}
      COMMAND ${CMAKE_RC_COMPILER} -I ${CMAKE_CURRENT_SOURCE_DIR} -I ${CMAKE_SOURCE_DIR}
              -O coff -i ${CMAKE_CURRENT_SOURCE_DIR}/kvoexp.rc -o ${kvoexp_res}
      DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/kvoexp.rc ${CMAKE_CURRENT_SOURCE_DIR}/resource.h
      COMMENT "Compiling the resource script kvoexp.rc")
  target_sources(kvoexp_module PRIVATE ${kvoexp_res})
  set_source_files_properties(${kvoexp_res} PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)
else()
  # Only the four exports reach the dynamic symbol table, whatever visibility
  # the linked static libraries were compiled with.
  set(kvoexp_map ${CMAKE_CURRENT_SOURCE_DIR}/module_exports.map)
  target_link_options(kvoexp_module PRIVATE "LINKER:--version-script=${kvoexp_map}")
  set_property(TARGET kvoexp_module APPEND PROPERTY LINK_DEPENDS ${kvoexp_map})
  target_link_libraries(kvoexp_module PRIVATE kvohost ${CMAKE_DL_LIBS})
  if(NOT KVOEXP_SANITIZE)
    # Every symbol resolved at link time (the sanitizer runtimes come from the host program).
    target_link_options(kvoexp_module PRIVATE "LINKER:-z,defs")
  endif()
endif()
