# The keyring module, loaded at run time by the credential store (see KeyringModule.h). It sits
# beside the executables so that programs and tests in the build tree find it.
find_package(Qt6Keychain REQUIRED)
add_library(tidemark_keyring MODULE Keyring.cpp CodePage.cpp)
target_link_libraries(tidemark_keyring PRIVATE Qt6::Core Qt6Keychain::Qt6Keychain)
set_target_properties(tidemark_keyring PROPERTIES
    PREFIX ""
    OUTPUT_NAME tidemark-keyring
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}
    CXX_VISIBILITY_PRESET hidden
)
