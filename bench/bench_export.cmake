# Geode assembly of a million-face node against meshoptimizer's de-duplication of the same corners.
find_package(meshoptimizer REQUIRED)
add_executable(bench_export ${CMAKE_CURRENT_LIST_DIR}/bench_export.cpp
                            ${CMAKE_CURRENT_LIST_DIR}/heap_peak.cpp)
target_link_libraries(bench_export PRIVATE kvoexport benchmark::benchmark meshoptimizer::meshoptimizer)
