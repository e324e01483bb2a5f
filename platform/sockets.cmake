# The socket half of the platform: hidden windows, window timers, the socket library and the
# host lookup, and TLS over the sockets.
target_sources(tm_platform_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/NotifyWindow.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Winsock.cpp
    ${CMAKE_CURRENT_LIST_DIR}/HostLookup.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ExceptionHook.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MessageWait.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Tls.cpp
)
find_package(OpenSSL 3.0 REQUIRED)
target_link_libraries(tm_platform_core PUBLIC OpenSSL::SSL)
