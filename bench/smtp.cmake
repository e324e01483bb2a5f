# TZelSMTP against a local SMTP sink, compared with msmtp (bench/run-smtp.sh).
add_executable(smtp_bench EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/SmtpBench.cpp)
target_link_libraries(smtp_bench PRIVATE tm_smtp tm_jconvert)
add_dependencies(benchmarks smtp_bench tidemark-send)
