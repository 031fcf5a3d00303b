# The texts a person reads, in every language (docs/languages.md).
#
# English: each subsystem's *_texts.inc, one QV_TEXT(name, number, L"English") per text, whose
# first line holds the name and the number. The number is the text's string resource id in every
# language; each subsystem has its own range (QUARVELO_TEXT_TABLES below).
# Other languages: lang/<language>.rc, a string table of the same texts by name, all of them
# included by lang/languages.rc.
#
# At configure time <build>/lang/text_ids.h is written from the .inc files (each text's name
# defined as its number), so that the string tables can name the texts; a name or number used
# twice stops the configure. In the Windows build quarvelo_add_languages(<target>) links the
# string tables into a program.

# Each subsystem's table and the range of its numbers.
set(QUARVELO_TEXT_TABLES
    state/state_texts.inc         1000-1099
    engine/engine_texts.inc       1100-1199
    repair/repair_texts.inc       1200-1399
    tools/tool_texts.inc          1400-1499
    controls/control_texts.inc    100-199
    ui/ui_texts.inc               2000-2999
    cli/cli_texts.inc             3000-3999
    launcher/launcher_texts.inc   4000-4099)

set(qv_text_ids "")
set(qv_text_names "")
set(qv_text_numbers "")
set(qv_text_table_files "")
list(LENGTH QUARVELO_TEXT_TABLES qv_count)
math(EXPR qv_last "${qv_count} - 1")
foreach(i RANGE 0 ${qv_last} 2)
  math(EXPR j "${i} + 1")
  list(GET QUARVELO_TEXT_TABLES ${i} table)
  list(GET QUARVELO_TEXT_TABLES ${j} range)
  string(REPLACE "-" ";" range "${range}")
  list(GET range 0 first)
  list(GET range 1 last)
  set(file ${PROJECT_SOURCE_DIR}/${table})
  list(APPEND qv_text_table_files ${file})
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
  string(APPEND qv_text_ids "\n// ${table}\n")
  file(STRINGS ${file} lines REGEX "^QV_TEXT\\(")
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "^QV_TEXT\\((k[A-Za-z0-9_]+), *([0-9]+),")
      message(FATAL_ERROR "${table}: a QV_TEXT whose first line has no name and number: ${line}")
    endif()
    set(name ${CMAKE_MATCH_1})
    set(number ${CMAKE_MATCH_2})
    if(number LESS first OR number GREATER last)
      message(FATAL_ERROR "${table}: ${name} has the number ${number}, outside ${first}-${last}")
    endif()
    if(name IN_LIST qv_text_names)
      message(FATAL_ERROR "${table}: the name ${name} is taken by another text")
    endif()
    if(number IN_LIST qv_text_numbers)
      message(FATAL_ERROR "${table}: ${name} has the number ${number} of another text")
    endif()
    list(APPEND qv_text_names ${name})
    list(APPEND qv_text_numbers ${number})
    string(APPEND qv_text_ids "#define ${name} ${number}\n")
  endforeach()
endforeach()
set(QUARVELO_TEXT_IDS ${CMAKE_BINARY_DIR}/lang/text_ids.h)
file(CONFIGURE OUTPUT ${QUARVELO_TEXT_IDS}
     CONTENT "// Written by cmake/Languages.cmake from the *_texts.inc files: each text's name as its\n// string resource number, for the string tables of lang/.\n${qv_text_ids}")

if(WIN32)
  set(QUARVELO_LANGUAGE_RESOURCES ${CMAKE_BINARY_DIR}/lang/languages.res.obj)
  file(GLOB qv_language_tables CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/lang/*.rc)
  add_custom_command(OUTPUT ${QUARVELO_LANGUAGE_RESOURCES}
                     COMMAND ${CMAKE_RC_COMPILER} -O coff -I ${CMAKE_BINARY_DIR}/lang
                             -I ${PROJECT_SOURCE_DIR}/lang -i ${PROJECT_SOURCE_DIR}/lang/languages.rc
                             -o ${QUARVELO_LANGUAGE_RESOURCES}
                     DEPENDS ${qv_language_tables} ${QUARVELO_TEXT_IDS}
                     COMMENT "String tables of the languages" VERBATIM)
  add_custom_target(qv_languages DEPENDS ${QUARVELO_LANGUAGE_RESOURCES})
  # The string tables of every language, linked into the program or library.
  function(quarvelo_add_languages target)
    add_dependencies(${target} qv_languages)
    target_link_libraries(${target} PRIVATE ${QUARVELO_LANGUAGE_RESOURCES})
  endfunction()
endif()
