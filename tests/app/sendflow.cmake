# The send flow against a scripted loopback SMTP peer.
tidemark_add_test(sendflow_tests
    SOURCES SendFlowTest.cpp SendFlowTextTest.cpp SecuredSendFlowTest.cpp SendOutcomeTest.cpp
    SentCopyFlowTest.cpp
    LIBS tm_sendflow)
target_compile_definitions(sendflow_tests PRIVATE TIDEMARK_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
