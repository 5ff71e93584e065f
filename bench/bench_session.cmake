# The plug-in step of a real session, through the loaded module, with the
# console host's run observer as the message pump; the program's own malloc
# family counts each run's peak heap.
add_executable(bench_session ${CMAKE_CURRENT_LIST_DIR}/bench_session.cpp
                             ${CMAKE_CURRENT_LIST_DIR}/heap_peak.cpp)
target_link_libraries(bench_session PRIVATE kvoexp_program benchmark::benchmark)
find_package(mimalloc CONFIG REQUIRED)  # the console host's allocator
target_link_libraries(bench_session PRIVATE mimalloc)
target_compile_definitions(bench_session PRIVATE KVOEXP_WITH_MIMALLOC)
add_dependencies(bench_session kvoexp_module)
target_compile_definitions(bench_session PRIVATE KVOEXP_MODULE_PATH="$<TARGET_FILE:kvoexp_module>")
