# The socket half of the platform: hidden windows, window timers, the socket library and the
# host lookup.
target_sources(tm_platform_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/NotifyWindow.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Winsock.cpp
    ${CMAKE_CURRENT_LIST_DIR}/HostLookup.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ExceptionHook.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MessageWait.cpp
)
