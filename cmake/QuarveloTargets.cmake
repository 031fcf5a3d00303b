# Helpers that keep one source list for both toolchains.
#
# quarvelo_layer(<folder> SOURCES <neutral...> [WIN32_SOURCES <win32-only...>]
#                [DEPS <layers below...>] [WIN32_DEPS <system libraries...>])
#   The static library qv_<folder> of one layer: its platform-neutral sources, plus its Win32
#   sources (in <folder>/win32/) in the Windows build only. DEPS names the layers directly below
#   it (base, platform, state, ...), linked publicly, so a layer sees every layer beneath it.
#
#   Layers cannot include upwards: no target has the source tree itself on its include path.
#   Each layer's headers are reachable only through a folder of the build tree holding one link,
#   <build>/layers/<folder>/<folder> -> <source>/<folder>, and only a target that links the layer
#   gets that folder on its include path. An include of "app/x.h" from engine/ therefore finds
#   no such file and the build fails; so does an include between two layers of the same rank.
function(quarvelo_layer_include_dir folder out)
  set(root ${CMAKE_BINARY_DIR}/layers/${folder})
  if(NOT EXISTS ${root}/${folder})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  endif()
  set(${out} ${root} PARENT_SCOPE)
endfunction()

function(quarvelo_layer folder)
  cmake_parse_arguments(ARG "" "" "SOURCES;WIN32_SOURCES;DEPS;WIN32_DEPS" ${ARGN})
  set(sources ${ARG_SOURCES})
  if(WIN32)
    list(APPEND sources ${ARG_WIN32_SOURCES})
  endif()
  set(name qv_${folder})
  if(sources)
    add_library(${name} STATIC ${sources})
    set(scope PUBLIC)
    target_link_libraries(${name} PRIVATE quarvelo_warnings)
  else()
    add_library(${name} INTERFACE)
    set(scope INTERFACE)
  endif()
  quarvelo_layer_include_dir(${folder} include_dir)
  target_include_directories(${name} ${scope} ${include_dir})
  foreach(dep ${ARG_DEPS})
    target_link_libraries(${name} ${scope} qv_${dep})
  endforeach()
  if(WIN32 AND ARG_WIN32_DEPS)
    target_link_libraries(${name} ${scope} ${ARG_WIN32_DEPS})
  endif()
  set_property(GLOBAL APPEND PROPERTY QUARVELO_LAYER_TARGETS ${name})
endfunction()

# quarvelo_test(<name> SOURCES <...> [DEPS <...>] [WINE_ONLY] [DISPLAY] [SCREEN <WxHxD>]
#               [TIMEOUT <s>] [SETUP <shell command>])
#   A GoogleTest program. Natively each test case is its own ctest entry; in the Windows build
#   the whole program is one ctest entry, run through scripts/wine-run in a throwaway prefix
#   (one prefix per program keeps the suite fast). WINE_ONLY programs exist only in the
#   Windows build; DISPLAY programs get an Xvfb display from the wrapper (of the SCREEN
#   geometry, 1024x768x24 by default); SETUP is a shell
#   command the wrapper runs on the new prefix first ($WINEPREFIX set).
function(quarvelo_test name)
  cmake_parse_arguments(ARG "WINE_ONLY;DISPLAY" "TIMEOUT;SETUP;SCREEN" "SOURCES;DEPS" ${ARGN})
  if(ARG_WINE_ONLY AND NOT WIN32)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} qv_test_support quarvelo_gtest_main
                        quarvelo_warnings)
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 600)
  endif()
  if(WIN32)
    add_test(NAME ${name} COMMAND ${name})
    set(env "QV_WINE_TEMPLATE=${CMAKE_BINARY_DIR}/wine-template")
    if(ARG_DISPLAY)
      list(APPEND env "QV_WINE_DISPLAY=1")
    endif()
    if(ARG_SCREEN)
      list(APPEND env "QV_WINE_SCREEN=${ARG_SCREEN}")
    endif()
    if(ARG_SETUP)
      list(APPEND env "QV_WINE_SETUP=${ARG_SETUP}")
    endif()
    set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT} ENVIRONMENT "${env}"
                         WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  else()
    include(GoogleTest)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT ${ARG_TIMEOUT})
  endif()
endfunction()

# quarvelo_embed_version(<target> [DESCRIPTION <text>])
#   Windows build: compiles cmake/version.rc.in with windres into a COFF object linked into the
#   executable or DLL, so GetFileVersionInfoW on it gives the project's four-part version
#   (QUARVELO_VERSION_MAJOR/MINOR/PATCH/BUILD). Does nothing in the native build.
set(QUARVELO_VERSION_RC_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/version.rc.in)
function(quarvelo_embed_version target)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(ARG "" "DESCRIPTION" "" ${ARGN})
  foreach(part MAJOR MINOR PATCH BUILD)
    if(NOT DEFINED QUARVELO_VERSION_${part})
      message(FATAL_ERROR "quarvelo_embed_version: QUARVELO_VERSION_${part} is not set")
    endif()
  endforeach()
  set(QV_VERSION_COMMAS
      "${QUARVELO_VERSION_MAJOR},${QUARVELO_VERSION_MINOR},${QUARVELO_VERSION_PATCH},${QUARVELO_VERSION_BUILD}")
  set(QV_VERSION_DOTS
      "${QUARVELO_VERSION_MAJOR}.${QUARVELO_VERSION_MINOR}.${QUARVELO_VERSION_PATCH}.${QUARVELO_VERSION_BUILD}")
  get_target_property(type ${target} TYPE)
  get_target_property(output_name ${target} OUTPUT_NAME)
  if(NOT output_name)
    set(output_name ${target})
  endif()
  if(type STREQUAL "EXECUTABLE")
    set(QV_FILE_TYPE 1)
    set(QV_ORIGINAL_FILENAME "${output_name}.exe")
  elseif(type STREQUAL "SHARED_LIBRARY" OR type STREQUAL "MODULE_LIBRARY")
    set(QV_FILE_TYPE 2)
    set(QV_ORIGINAL_FILENAME "${output_name}.dll")
  else()
    message(FATAL_ERROR "quarvelo_embed_version: ${target} is neither an executable nor a DLL")
  endif()
  set(QV_INTERNAL_NAME ${output_name})
  if(ARG_DESCRIPTION)
    set(QV_FILE_DESCRIPTION "${ARG_DESCRIPTION}")
  else()
    set(QV_FILE_DESCRIPTION "${output_name}")
  endif()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  set(obj ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.res.obj)
  configure_file(${QUARVELO_VERSION_RC_TEMPLATE} ${rc} @ONLY)
  add_custom_command(OUTPUT ${obj}
                     COMMAND ${CMAKE_RC_COMPILER} -O coff -i ${rc} -o ${obj}
                     DEPENDS ${rc} ${QUARVELO_VERSION_RC_TEMPLATE}
                     COMMENT "Version resource for ${target}" VERBATIM)
  set_source_files_properties(${obj} PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)
  target_sources(${target} PRIVATE ${obj})
endfunction()
