# The window stand-in's per-face calls with nothing to do, and the console
# host's message pump (its run observer, compiled in from cli/).
add_executable(bench_message_pump ${CMAKE_CURRENT_LIST_DIR}/bench_message_pump.cpp
                                  ${CMAKE_SOURCE_DIR}/cli/printable_text.cpp
                                  ${CMAKE_SOURCE_DIR}/cli/progress_line.cpp
                                  ${CMAKE_SOURCE_DIR}/cli/run_observer.cpp)
target_link_libraries(bench_message_pump PRIVATE hostdrive kvohost benchmark::benchmark)
