# Assimp's ReadFile alone, as kvoexp's import process calls it, with its
# allocator: the floor of kvoexp's end-to-end time (see bench/big_scenes.py).
find_package(assimp REQUIRED)
find_package(mimalloc CONFIG REQUIRED)
add_executable(import_floor ${CMAKE_CURRENT_LIST_DIR}/import_floor.cpp)
target_link_libraries(import_floor PRIVATE assimp::assimp mimalloc)
target_include_directories(import_floor PRIVATE ${PROJECT_SOURCE_DIR})
