# The fuzz targets need clang: the test build builds them beside itself (build dir fuzz/) and
# runs each briefly over its seed corpus. New inputs they find stay in the build directory.
find_program(TIDEMARK_FUZZ_CXX clang++-14)
if(NOT TIDEMARK_FUZZ_CXX)
    message(WARNING "clang++-14 not found: the fuzz targets are neither built nor run")
    return()
endif()
include(ExternalProject)
set(fuzz_build ${CMAKE_BINARY_DIR}/fuzz)
ExternalProject_Add(fuzz_targets
    SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}
    BINARY_DIR ${fuzz_build}
    CMAKE_ARGS -DCMAKE_CXX_COMPILER=${TIDEMARK_FUZZ_CXX} -DCMAKE_BUILD_TYPE=Debug
    BUILD_ALWAYS ON
    INSTALL_COMMAND "")
set(TIDEMARK_FUZZ_SECONDS 5 CACHE STRING "Seconds each fuzz target runs in the test suite")
foreach(target jconvert_fuzz smtp_reply_fuzz linefile_fuzz codepage_fuzz send_command_fuzz
        imap_response_fuzz attach_name_fuzz)
    file(MAKE_DIRECTORY ${fuzz_build}/corpus/${target})
    add_test(NAME fuzz.${target}
        COMMAND ${fuzz_build}/${target} -max_total_time=${TIDEMARK_FUZZ_SECONDS} -max_len=4096
            -timeout=20 -artifact_prefix=${fuzz_build}/${target}-
            ${fuzz_build}/corpus/${target} ${CMAKE_CURRENT_LIST_DIR}/corpus/${target})
    set_tests_properties(fuzz.${target} PROPERTIES TIMEOUT 120 LABELS fuzz)
endforeach()
