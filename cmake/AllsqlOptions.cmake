# Compiler settings shared by every target of the project.
#
# allsql_warnings: -Wall -Wextra -Werror for the project's own code.
# Debug builds run with AddressSanitizer and UndefinedBehaviorSanitizer and carry the test-only
# fault injection of the platform layer; Release builds are plain -O2.

add_library(allsql_warnings INTERFACE)
target_compile_options(allsql_warnings INTERFACE -Wall -Wextra)
if(ALLSQL_WERROR)
  target_compile_options(allsql_warnings INTERFACE -Werror)
endif()

# The fuzz build (clang) instruments every library for coverage; only the fuzz targets link the
# fuzzer's driver.
if(ALLSQL_BUILD_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "ALLSQL_BUILD_FUZZ needs clang")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

set(ALLSQL_SANITIZE_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined
    -fno-omit-frame-pointer)
if(CMAKE_BUILD_TYPE STREQUAL "Debug")
  add_compile_options(${ALLSQL_SANITIZE_FLAGS})
  add_link_options(${ALLSQL_SANITIZE_FLAGS})
  add_compile_definitions(ALLSQL_FAULT_INJECTION=1)
endif()
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG")
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG")

# allsql_layer(<name> DEPENDS <lower layers...> [LIBS <external libraries...>])
# Makes the static library allsql_<name> from every source file in src/<name>/ (recursively).
function(allsql_layer name)
  cmake_parse_arguments(L "" "" "DEPENDS;LIBS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    message(FATAL_ERROR "layer ${name} has no sources")
  endif()
  add_library(allsql_${name} STATIC ${sources})
  target_include_directories(allsql_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(allsql_${name} PRIVATE allsql_warnings)
  foreach(dep IN LISTS L_DEPENDS)
    target_link_libraries(allsql_${name} PUBLIC allsql_${dep})
  endforeach()
  target_link_libraries(allsql_${name} PUBLIC ${L_LIBS})
endfunction()
