# Helpers that keep one source list for both toolchains.
#
# quarvelo_library(<name> SOURCES <neutral...> [WIN32_SOURCES <win32-only...>] [DEPS <targets...>])
#   A static library of platform-neutral sources, plus Win32 sources in the Windows build only.
function(quarvelo_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;WIN32_SOURCES;DEPS;WIN32_DEPS" ${ARGN})
  set(sources ${ARG_SOURCES})
  if(WIN32)
    list(APPEND sources ${ARG_WIN32_SOURCES})
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE quarvelo_warnings)
  if(WIN32 AND ARG_WIN32_DEPS)
    target_link_libraries(${name} PUBLIC ${ARG_WIN32_DEPS})
  endif()
endfunction()

# quarvelo_test(<name> SOURCES <...> [DEPS <...>] [WINE_ONLY] [DISPLAY] [TIMEOUT <s>])
#   A GoogleTest program. Natively each test case is its own ctest entry; in the Windows build
#   the whole program is one ctest entry, run through scripts/wine-run in a throwaway prefix
#   (one prefix per program keeps the suite fast). WINE_ONLY programs exist only in the
#   Windows build; DISPLAY programs get an Xvfb display from the wrapper.
function(quarvelo_test name)
  cmake_parse_arguments(ARG "WINE_ONLY;DISPLAY" "TIMEOUT" "SOURCES;DEPS" ${ARGN})
  if(ARG_WINE_ONLY AND NOT WIN32)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} quarvelo_gtest_main quarvelo_warnings)
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 600)
  endif()
  if(WIN32)
    add_test(NAME ${name} COMMAND ${name})
    set(env "QV_WINE_TEMPLATE=${CMAKE_BINARY_DIR}/wine-template")
    if(ARG_DISPLAY)
      list(APPEND env "QV_WINE_DISPLAY=1")
    endif()
    set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT} ENVIRONMENT "${env}"
                         WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  else()
    include(GoogleTest)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT ${ARG_TIMEOUT})
  endif()
endfunction()
