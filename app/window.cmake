# The compose window (library tm_app) and the program (executable tidemark).
add_library(tm_app STATIC
    FrmMain.cpp
    PasswordBox.cpp
    Glyphs.cpp
    MemoLines.cpp
)
target_link_libraries(tm_app PUBLIC tm_sendflow tm_userdata tm_platform_widgets)

add_executable(tidemark main.cpp)
target_link_libraries(tidemark PRIVATE tm_app)
add_dependencies(tidemark tidemark_keyring)  # loaded at run time, for the password
