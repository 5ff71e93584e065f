# kvo render of a 1,000,000-triangle file at 1024 x 1024, per mode.
add_executable(bench_render ${CMAKE_CURRENT_LIST_DIR}/bench_render.cpp)
target_link_libraries(bench_render PRIVATE kvoview kvo PkgConfig::STB benchmark::benchmark)
