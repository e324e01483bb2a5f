# Japanese encoder and attachment encoder throughput against peer tools (bench/run-jconvert.sh).
add_executable(bench_sjis_to_jis EXCLUDE_FROM_ALL SjisToJisBench.cpp)
target_link_libraries(bench_sjis_to_jis PRIVATE tm_jconvert)

add_executable(bench_uuencode EXCLUDE_FROM_ALL UUEncodeBench.cpp)
target_link_libraries(bench_uuencode PRIVATE tm_smtp_encoder)

add_dependencies(benchmarks bench_sjis_to_jis bench_uuencode)
