# The compose window: layout, start-up, hand-over, glyphs, and the program itself.
tidemark_add_test(window_tests
    SOURCES
        GlyphsTest.cpp
        FrmMainLayoutTest.cpp
        FrmMainTest.cpp
        HandOverTest.cpp
        ProgramTest.cpp
        PasswordBoxTest.cpp
        KeyboardTest.cpp
        HelpMenuTest.cpp
        DraftTest.cpp
        MailtoLinkTest.cpp
        WindowSizeTest.cpp
        CompletionTest.cpp
        SendGuardTest.cpp
        SignatureTest.cpp
        AttachmentsTest.cpp
    LIBS tm_app Qt6::Test
)
target_compile_definitions(window_tests PRIVATE TIDEMARK_EXECUTABLE="$<TARGET_FILE:tidemark>"
    TIDEMARK_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
add_dependencies(window_tests tidemark)

# The input method under a real fcitx5 with mozc (input-method-check.sh sets up X, the session
# bus and an unprivileged user); skipped only when those packages are not installed.
add_executable(input_method_check InputMethodCheck.cpp)
target_link_libraries(input_method_check PRIVATE tm_app tm_test_support GTest::gtest Qt6::Test
                      Qt6::DBus)
add_test(NAME input_method
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/input-method-check.sh $<TARGET_FILE:input_method_check>
            ${TIDEMARK_LSAN_SUPPRESSIONS})
set_tests_properties(input_method PROPERTIES TIMEOUT 90 SKIP_RETURN_CODE 77)

# Completion and the address book under Xvfb with a window manager, keys typed by xdotool;
# skipped only when those programs are not installed.
add_executable(completion_x_check CompletionXCheck.cpp)
target_link_libraries(completion_x_check PRIVATE tm_app tm_test_support GTest::gtest Qt6::Test)
add_test(NAME completion_x
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/completion-x-check.sh $<TARGET_FILE:completion_x_check>)
set_tests_properties(completion_x PROPERTIES TIMEOUT 90 SKIP_RETURN_CODE 77
    ENVIRONMENT "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent;LSAN_OPTIONS=suppressions=${TIDEMARK_LSAN_SUPPRESSIONS}:print_suppressions=0")
