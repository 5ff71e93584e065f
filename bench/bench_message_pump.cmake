# The window stand-in's per-face calls with nothing to do, and the console
# host's message pump (its run observer, from the program's library).
add_executable(bench_message_pump ${CMAKE_CURRENT_LIST_DIR}/bench_message_pump.cpp)
target_link_libraries(bench_message_pump PRIVATE kvoexp_program benchmark::benchmark)
