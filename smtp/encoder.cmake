# The attachment encoder and the buffered stream it writes through.
add_library(tm_smtp_encoder STATIC
    ZelUUE.cpp
    ZelS_Stream.cpp
)
target_link_libraries(tm_smtp_encoder PUBLIC tm_platform_core)
