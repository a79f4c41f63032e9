# The log header carries the build's revision: the repository's commit count at configure time.
find_package(Git QUIET)
set(PADDLESTONE_REVISION 0)
if(GIT_FOUND AND EXISTS "${PROJECT_SOURCE_DIR}/.git")
  execute_process(COMMAND ${GIT_EXECUTABLE} rev-list --count HEAD
    WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
    OUTPUT_VARIABLE _rev OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE _rc)
  if(_rc EQUAL 0 AND _rev MATCHES "^[0-9]+$")
    set(PADDLESTONE_REVISION ${_rev})
  endif()
endif()
configure_file("${PROJECT_SOURCE_DIR}/cmake/BuildInfo.h.in" "${PROJECT_BINARY_DIR}/generated/BuildInfo.h" @ONLY)
