# The user guide the help menu shows: docs/guide.ja.md with the picture it names, laid out in the
# build tree as an install lays it out under share/tidemark/.
set(TIDEMARK_GUIDE_DIR ${CMAKE_BINARY_DIR}/guide)
configure_file(${CMAKE_SOURCE_DIR}/docs/guide.ja.md ${TIDEMARK_GUIDE_DIR}/tidemark-guide.md
               COPYONLY)
configure_file(${CMAKE_SOURCE_DIR}/docs/compose-window.png
               ${TIDEMARK_GUIDE_DIR}/docs/compose-window.png COPYONLY)
