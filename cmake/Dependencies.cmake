# Every dependency comes from Debian's packages (tools/install-deps.sh).
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)

# The engine ships neither a pkg-config file nor a CMake package.
find_path(IRRLICHT_INCLUDE_DIR irrlicht.h PATH_SUFFIXES irrlicht REQUIRED)
find_library(IRRLICHT_LIBRARY Irrlicht REQUIRED)

# The engine's XML header names its constructors with a template-id, which C++20 no longer
# accepts. The build reads the engine's headers from a copy in the build folder in which
# that one header is corrected (the compiler resolves links, so the copy must be real).
set(IRRLICHT_COMPAT_DIR "${PROJECT_BINARY_DIR}/irrlicht-compat")
if(NOT EXISTS "${IRRLICHT_COMPAT_DIR}/irrXML.h")
  file(COPY "${IRRLICHT_INCLUDE_DIR}/" DESTINATION "${IRRLICHT_COMPAT_DIR}" FILES_MATCHING PATTERN "*.h")
  file(READ "${IRRLICHT_INCLUDE_DIR}/irrXML.h" _text)
  string(REPLACE "xmlChar<T>(" "xmlChar(" _text "${_text}")
  file(WRITE "${IRRLICHT_COMPAT_DIR}/irrXML.h" "${_text}")
endif()

add_library(Irrlicht::Irrlicht SHARED IMPORTED)
set_target_properties(Irrlicht::Irrlicht PROPERTIES
  IMPORTED_LOCATION "${IRRLICHT_LIBRARY}"
  INTERFACE_SYSTEM_INCLUDE_DIRECTORIES "${IRRLICHT_COMPAT_DIR}"
  INTERFACE_INCLUDE_DIRECTORIES "${IRRLICHT_COMPAT_DIR}")

pkg_check_modules(BULLET REQUIRED IMPORTED_TARGET bullet)
pkg_check_modules(FREETYPE REQUIRED IMPORTED_TARGET freetype2)
pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11)
pkg_check_modules(SDL2 IMPORTED_TARGET sdl2)
pkg_check_modules(OPENAL IMPORTED_TARGET openal)
pkg_check_modules(SNDFILE IMPORTED_TARGET sndfile)

# Engine and library headers are system includes: warnings stay about our own code.
foreach(dep PkgConfig::BULLET PkgConfig::FREETYPE PkgConfig::X11)
  get_target_property(_inc ${dep} INTERFACE_INCLUDE_DIRECTORIES)
  if(_inc)
    set_target_properties(${dep} PROPERTIES INTERFACE_SYSTEM_INCLUDE_DIRECTORIES "${_inc}")
  endif()
endforeach()
foreach(dep PkgConfig::SDL2 PkgConfig::OPENAL PkgConfig::SNDFILE)
  if(TARGET ${dep})
    get_target_property(_inc ${dep} INTERFACE_INCLUDE_DIRECTORIES)
    if(_inc)
      set_target_properties(${dep} PROPERTIES INTERFACE_SYSTEM_INCLUDE_DIRECTORIES "${_inc}")
    endif()
  endif()
endforeach()

# libbacktrace ships with the compiler (its own library folder), for the call-stack report.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libbacktrace.a
  OUTPUT_VARIABLE BACKTRACE_LIBRARY OUTPUT_STRIP_TRAILING_WHITESPACE)
if(EXISTS "${BACKTRACE_LIBRARY}")
  get_filename_component(_bt_dir "${BACKTRACE_LIBRARY}" DIRECTORY)
  find_path(BACKTRACE_INCLUDE_DIR backtrace.h HINTS "${_bt_dir}/include" NO_DEFAULT_PATH)
endif()
if(BACKTRACE_INCLUDE_DIR)
  set(PADDLESTONE_HAVE_LIBBACKTRACE ON)
else()
  set(PADDLESTONE_HAVE_LIBBACKTRACE OFF)
  message(STATUS "libbacktrace not found: call stacks fall back to glibc's backtrace")
endif()

if(PADDLESTONE_TESTS)
  find_package(GTest REQUIRED)
endif()
if(PADDLESTONE_BENCH)
  find_package(benchmark REQUIRED)
endif()
