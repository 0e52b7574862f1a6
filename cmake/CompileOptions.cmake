# One place for the options every Morvel target is built with.
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

option(MORVEL_WERROR "Treat warnings as errors" ON)
option(MORVEL_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(MORVEL_WITH_QT "Build the Qt 6 desktop backend" ON)
option(MORVEL_WITH_TERMINAL "Build the ncurses terminal backend" ON)

add_library(morvel_options INTERFACE)
target_compile_options(morvel_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow
                                                -Wnon-virtual-dtor -Wformat=2 -Wformat-security)
if(MORVEL_WERROR)
  target_compile_options(morvel_options INTERFACE -Werror)
endif()
# GCC 12 reports a false -Wrestrict on plain std::string assignments once
# they are inlined at -O2 and above (GCC bug 105329).
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
   AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(morvel_options INTERFACE -Wno-restrict)
endif()
if(MORVEL_SANITIZE)
  target_compile_options(morvel_options INTERFACE -fsanitize=address,undefined
                                                  -fno-sanitize-recover=undefined
                                                  -fno-omit-frame-pointer)
  target_link_options(morvel_options INTERFACE -fsanitize=address,undefined)
endif()

# Adds a folder's CMakeLists.txt when the folder has one yet; folders are
# filled in by different people at different times.
macro(morvel_add_subdirectories)
  foreach(dir ${ARGN})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endmacro()
