# The console host's hand-over: the scene form decoded, then the host scene built from it.
add_executable(bench_host_scene ${CMAKE_CURRENT_LIST_DIR}/bench_host_scene.cpp
                                ${CMAKE_CURRENT_LIST_DIR}/heap_peak.cpp)
target_link_libraries(bench_host_scene PRIVATE kvohostscene benchmark::benchmark)
