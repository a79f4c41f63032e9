# What keeps the build fast: ccache when installed, the mold linker when installed, unity
# (jumbo) builds and precompiled headers. None of it changes warnings or sanitizers.

option(PADDLESTONE_UNITY "Compile each target's sources in unity batches" ON)
option(PADDLESTONE_PCH "Precompile the engine and standard headers" ON)
set(PADDLESTONE_UNITY_BATCH 6 CACHE STRING "Sources per unity batch")

# ccache: a rebuild of unchanged sources (another build folder, a switch of branch) costs
# nothing. The precompiled headers need its sloppiness for defines and time macros.
find_program(CCACHE_PROGRAM ccache)
if(CCACHE_PROGRAM AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
  set(_launcher /usr/bin/env
      CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
      CCACHE_BASEDIR=${PROJECT_SOURCE_DIR} ${CCACHE_PROGRAM})
  set(CMAKE_C_COMPILER_LAUNCHER ${_launcher})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${_launcher})
endif()

# mold links the sanitizer builds of the test programs several times faster than ld.
find_program(MOLD_PROGRAM mold)
if(MOLD_PROGRAM AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU"
   AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12.1)
  add_link_options(-fuse-ld=mold)
endif()

if(PADDLESTONE_UNITY)
  set(CMAKE_UNITY_BUILD ON)
  # A unit included into a batch counts as a header to GCC, which then warns about every
  # test fixture kept in an anonymous namespace; a separate build of the unit does not.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    add_compile_options($<$<COMPILE_LANGUAGE:CXX>:-Wno-subobject-linkage>)
  endif()
  set(CMAKE_UNITY_BUILD_BATCH_SIZE ${PADDLESTONE_UNITY_BATCH})
endif()

# The headers nearly every unit of the game includes. phys gets its own set: the layer
# never sees the engine.
set(PADDLESTONE_STD_PCH <algorithm> <cmath> <cstdint> <cstring> <filesystem> <functional>
    <map> <memory> <string> <unordered_map> <vector>)

# paddlestone_pch(<target> <headers...>): precompiles the given headers for a target.
function(paddlestone_pch target)
  if(PADDLESTONE_PCH)
    target_precompile_headers(${target} PRIVATE ${ARGN})
  endif()
endfunction()

# paddlestone_reuse_pch(<target> <from>): a target built with the same flags shares the
# precompiled headers of another instead of making its own.
function(paddlestone_reuse_pch target from)
  if(PADDLESTONE_PCH)
    target_precompile_headers(${target} REUSE_FROM ${from})
  endif()
endfunction()
