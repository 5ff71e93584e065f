# Sources of the format library, shared by its own target and the fuzzer's
# instrumented copy. Platform variants are chosen by file suffix.
set(kvo_sources
  d_resource.cpp
  kvo_geob.cpp
  kvo_geode.cpp
  kvo_invariants.cpp
  kvo_material.cpp
  kvo_optimizer.cpp
  kvo_optimizer_compact.cpp
  kvo_optimizer_counters.cpp
  kvo_optimizer_merge.cpp
  kvo_optimizer_reorder.cpp
  kvo_optimizer_streams.cpp
  kvo_optimizer_vertices.cpp
  kvo_optimizer_weld.cpp
  kvo_optimizer_workspace.cpp
  kvo_reader.cpp
  kvo_warnings.cpp
  kvo_writer.cpp
  output_folder.cpp
  temp_file.cpp)
if(WIN32)
  list(APPEND kvo_sources input_file_windows.cpp output_file_windows.cpp
    output_folder_windows.cpp temp_file_windows.cpp)
else()
  list(APPEND kvo_sources input_file_posix.cpp output_file_posix.cpp
    output_folder_posix.cpp temp_file_posix.cpp)
endif()
list(TRANSFORM kvo_sources PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
