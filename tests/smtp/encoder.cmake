tidemark_add_test(smtp_encoder_tests
    SOURCES ZelUUETest.cpp ZelS_StreamTest.cpp
    LIBS tm_smtp_encoder
)
