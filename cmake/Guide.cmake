# The user guide the help menu shows: README.md up to the line that ends its user part, with the
# picture it names, laid out in the build tree as an install lays it out under share/tidemark/.
set(TIDEMARK_GUIDE_DIR ${CMAKE_BINARY_DIR}/guide)
set(guide_end "<!-- The user guide ends here. -->")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/README.md)
file(READ ${CMAKE_SOURCE_DIR}/README.md readme)
string(FIND "${readme}" "${guide_end}" guide_length)
if(guide_length EQUAL -1)
    message(FATAL_ERROR "README.md lacks the line \"${guide_end}\"")
endif()
string(SUBSTRING "${readme}" 0 ${guide_length} guide)
file(GENERATE OUTPUT ${TIDEMARK_GUIDE_DIR}/tidemark-guide.md CONTENT "${guide}")
configure_file(${CMAKE_SOURCE_DIR}/docs/compose-window.png
               ${TIDEMARK_GUIDE_DIR}/docs/compose-window.png COPYONLY)
