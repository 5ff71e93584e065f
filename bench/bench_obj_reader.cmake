# The console host's OBJ reader against the Assimp path (ReadFile and the
# conversion into the scene form) and ReadFile alone, on generated OBJ files,
# with the import workers' allocator.
find_package(mimalloc CONFIG REQUIRED)
add_executable(bench_obj_reader ${CMAKE_CURRENT_LIST_DIR}/bench_obj_reader.cpp)
target_link_libraries(bench_obj_reader PRIVATE kvoimport mimalloc benchmark::benchmark)
