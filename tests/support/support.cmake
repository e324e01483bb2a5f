# Loopback peers for the socket and SMTP tests.
target_sources(tm_test_support PRIVATE ${CMAKE_CURRENT_LIST_DIR}/ScriptedPeer.cpp)
