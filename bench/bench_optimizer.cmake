# Geob optimiser against meshoptimizer and the literal pairwise reference.
find_package(meshoptimizer REQUIRED)
add_executable(bench_optimizer
  ${CMAKE_CURRENT_LIST_DIR}/bench_optimizer.cpp
  ${CMAKE_SOURCE_DIR}/tests/kvo/literal_optimizer.cpp
  ${CMAKE_SOURCE_DIR}/tests/kvo/optimizer_corner_mesh.cpp
  ${CMAKE_SOURCE_DIR}/tests/kvo/optimizer_support.cpp)
target_link_libraries(bench_optimizer PRIVATE kvo benchmark::benchmark meshoptimizer::meshoptimizer)
