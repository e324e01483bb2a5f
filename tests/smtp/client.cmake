tidemark_add_test(smtp_client_tests
    SOURCES ExtstrTest.cpp LinesTest.cpp BuildMessageTest.cpp SessionTest.cpp EndToEndTest.cpp
        SecuredSessionTest.cpp Utf8Test.cpp PipeliningTest.cpp AddressListTest.cpp AttachTest.cpp
    LIBS tm_smtp tm_jconvert
)
target_compile_definitions(smtp_client_tests PRIVATE TIDEMARK_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
