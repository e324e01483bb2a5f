# The compose window: layout, start-up, hand-over, glyphs, and the program itself.
tidemark_add_test(window_tests
    SOURCES
        GlyphsTest.cpp
        FrmMainLayoutTest.cpp
        FrmMainTest.cpp
        HandOverTest.cpp
        ProgramTest.cpp
        PasswordBoxTest.cpp
        DraftTest.cpp
        MailtoLinkTest.cpp
        WindowSizeTest.cpp
    LIBS tm_app
)
target_compile_definitions(window_tests PRIVATE TIDEMARK_EXECUTABLE="$<TARGET_FILE:tidemark>")
add_dependencies(window_tests tidemark)
