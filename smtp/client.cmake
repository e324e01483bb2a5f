# The SMTP client: session, message assembly and header list.
add_library(tm_smtp STATIC
    Zelsmtp.cpp
    AddressList.cpp
    ZelBuild.cpp
    ZelExtstr.cpp
    ZelLines.cpp
    ZelPostMessage.cpp
    ZelRecipients.cpp
    ZelSession.cpp
    ZelPipeline.cpp
    ZelEsmtp.cpp
    ZelUtf8.cpp
    ZelAttach.cpp
    ZelSize.cpp
)
target_link_libraries(tm_smtp PUBLIC tm_sock tm_smtp_encoder tm_jconvert tm_platform_core)
