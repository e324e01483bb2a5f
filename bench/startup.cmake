# The start-up floor of a program on Qt Core and OpenSSL (bench/run-startup.sh).
find_package(OpenSSL REQUIRED)
add_executable(startup_floor EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/StartupFloor.cpp)
target_link_libraries(startup_floor PRIVATE Qt6::Core OpenSSL::SSL)
add_dependencies(benchmarks startup_floor tidemark-send)
