# Save and Load of a large geode beside memcpy and a single fwrite of the same size.
add_executable(bench_kvo_io ${CMAKE_CURRENT_SOURCE_DIR}/bench_kvo_io.cpp)
target_link_libraries(bench_kvo_io PRIVATE kvo benchmark::benchmark)
