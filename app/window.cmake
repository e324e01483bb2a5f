# The compose window (library tm_app) and the program (executable tidemark).
add_library(tm_app STATIC
    FrmMain.cpp
    FrmMainCommands.cpp
    FrmMainAccessible.cpp
    HelpMenu.cpp
    DraftKeeper.cpp
    MailtoLink.cpp
    StartOptions.cpp
    WindowSize.cpp
    Anchors.cpp
    Attachments.cpp
    PasswordBox.cpp
    Glyphs.cpp
    MemoLines.cpp
    ProgramIcon.cpp
    FrmMainCompose.cpp
    AddressPieces.cpp
    AddressCompleter.cpp
    Signature.cpp
    SendConfirmation.cpp
    DelayedSend.cpp
    SendGuard.cpp
)
target_link_libraries(tm_app PUBLIC tm_sendflow tm_userdata tm_platform_widgets)

# The icon's PNG renderings, built in for a program that runs without an installed icon theme.
set(program_icon_pngs)
foreach(size ${TIDEMARK_ICON_SIZES})
    list(APPEND program_icon_pngs ${TIDEMARK_ICON_DIR}/${size}/tidemark.png)
endforeach()
qt_add_resources(tm_app program_icon PREFIX /icons BASE ${TIDEMARK_ICON_DIR} FILES ${program_icon_pngs})

add_executable(tidemark main.cpp)
target_link_libraries(tidemark PRIVATE tm_app)
add_dependencies(tidemark tidemark_keyring)  # loaded at run time, for the password
