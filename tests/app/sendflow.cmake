# The send flow against a scripted loopback SMTP peer.
tidemark_add_test(sendflow_tests
    SOURCES SendFlowTest.cpp SendFlowTextTest.cpp
    LIBS tm_sendflow)
