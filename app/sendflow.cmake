# The send flow shared by the compose window and the command-line sender.
add_library(tm_sendflow STATIC
    SendFlow.cpp
    ComposeFields.cpp
    SendSettings.cpp
    MessageFields.cpp
    FillMessage.cpp
    SendPassword.cpp
    SendFlowEvents.cpp
    SendFlowText.cpp
    MessageCharset.cpp
    SendOutcome.cpp
    SendChecks.cpp
    SentCopy.cpp
    SendAuth.cpp
)
target_link_libraries(tm_sendflow PUBLIC tm_smtp tm_imap tm_oauth tm_jconvert tm_platform_core)
