# Warnings and sanitizers for the project's own targets.
add_library(paddlestone_options INTERFACE)
target_compile_options(paddlestone_options INTERFACE -Wall -Wextra)
# GCC 12 at -O2 and above reports out-of-bounds copies inside the inlined string
# constructors of libstdc++ and the engine's string class that cannot happen (its own
# known false positives): they would bury real warnings of the release build.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(paddlestone_options INTERFACE
    $<$<CONFIG:Release>:-Wno-array-bounds -Wno-stringop-overflow -Wno-stringop-overread>)
endif()
target_include_directories(paddlestone_options INTERFACE "${PROJECT_SOURCE_DIR}/src")

if(PADDLESTONE_SANITIZE AND PADDLESTONE_TSAN)
  message(FATAL_ERROR "PADDLESTONE_SANITIZE and PADDLESTONE_TSAN exclude each other")
endif()
if(PADDLESTONE_SANITIZE)
  # -O1 is what the sanitizers are made for, and line tables (-g1) are all their reports
  # read: together they halve the compile time of the test build against -O2 -g.
  set(CMAKE_C_FLAGS_RELWITHDEBINFO "-O1 -g1 -DNDEBUG")
  set(CMAKE_CXX_FLAGS_RELWITHDEBINFO "-O1 -g1 -DNDEBUG")
  set(_san -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_compile_options(${_san})
  add_link_options(-fsanitize=address,undefined)
endif()
if(PADDLESTONE_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# Adds the standard options to a project target.
function(paddlestone_target target)
  target_link_libraries(${target} PRIVATE paddlestone_options)
endfunction()
