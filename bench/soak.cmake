# The send flow many times in one process against loopback peers (bench/run-soak.sh).
add_executable(soak_bench EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/SoakBench.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/ScriptedPeer.cpp)
target_link_libraries(soak_bench PRIVATE tm_sendflow)
add_dependencies(benchmarks soak_bench)
