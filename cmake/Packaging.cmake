# The Windows installer, Quarvelo-<version>-setup.exe: a 64-bit NSIS installer made by CPack's NSIS
# generator from cmake/NSIS.template.in (scripts/package runs it; the qv_installer test proves it
# under Wine). It installs the component "program": the three deliverables and the shipped lists,
# side by side in Program Files\Quarvelo.
if(NOT WIN32)
  return()
endif()

install(TARGETS Quarvelo QuarveloDll QuarveloCli RUNTIME DESTINATION . COMPONENT program)

# The names the installer shares with the programs, read from the one place each is spelled: the
# launcher's instance name (its single-instance mutex) and the product name (the product key).
function(quarvelo_read_text_constant header name out)
  file(STRINGS ${PROJECT_SOURCE_DIR}/${header} line REGEX "${name}\\[\\] = L\"[^\"]+\"")
  if(NOT line MATCHES "L\"([^\"]+)\"")
    message(FATAL_ERROR "${header} has no ${name}: the installer needs it")
  endif()
  set(${out} "${CMAKE_MATCH_1}" PARENT_SCOPE)
endfunction()
quarvelo_read_text_constant(launcher/launcher_texts.h kInstanceName QV_INSTANCE_NAME)
quarvelo_read_text_constant(state/state_texts.h kProductName QV_PRODUCT_NAME)

set(CPACK_GENERATOR NSIS)
set(CPACK_PACKAGE_NAME ${QV_PRODUCT_NAME})
set(CPACK_PACKAGE_VENDOR ${QV_PRODUCT_NAME})
set(CPACK_PACKAGE_VERSION ${QUARVELO_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Registry maintenance for Windows")
set(CPACK_PACKAGE_FILE_NAME ${QV_PRODUCT_NAME}-${QUARVELO_VERSION}-setup)
set(QUARVELO_INSTALLER ${CMAKE_BINARY_DIR}/package/${CPACK_PACKAGE_FILE_NAME}.exe)
set(CPACK_PACKAGE_INSTALL_DIRECTORY ${QV_PRODUCT_NAME})
# The uninstall entry's key name under ...\CurrentVersion\Uninstall.
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY ${QV_PRODUCT_NAME})
# Only the program's files: nothing of the tests or the libraries they build.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};program;/")
get_filename_component(CPACK_PACKAGE_DIRECTORY ${QUARVELO_INSTALLER} DIRECTORY)
set(CPACK_MODULE_PATH ${PROJECT_SOURCE_DIR}/cmake)  # our NSIS.template.in

set(CPACK_NSIS_PACKAGE_NAME ${QV_PRODUCT_NAME})
set(CPACK_NSIS_DISPLAY_NAME ${QV_PRODUCT_NAME})
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_UNINSTALL_NAME Uninstall)
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/art/Quarvelo.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/art/Quarvelo.ico)
set(CPACK_NSIS_INSTALLED_ICON_NAME Quarvelo.exe)
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
# A warning of makensis fails the build: a text of the template missing in one of its languages
# is one (it would show in English there).
set(CPACK_NSIS_EXECUTABLE_PRE_ARGUMENTS -WX)
# Our own values in the template (CPack hands every CPACK_ variable to it).
set(CPACK_QUARVELO_INSTANCE_NAME ${QV_INSTANCE_NAME})

include(CPack)

# The installer as a target of the build ("installer"): made again whenever a program, a shipped
# list, the icon or the template changes. scripts/package builds it; the installer test needs it.
add_custom_command(OUTPUT ${QUARVELO_INSTALLER}
                   COMMAND ${CMAKE_CPACK_COMMAND} --config ${CMAKE_BINARY_DIR}/CPackConfig.cmake
                   DEPENDS Quarvelo QuarveloDll QuarveloCli qv_shipped_data
                           ${PROJECT_SOURCE_DIR}/data/windows-owned.wls
                           ${PROJECT_SOURCE_DIR}/cmake/NSIS.template.in
                           ${PROJECT_SOURCE_DIR}/art/Quarvelo.ico
                           ${CMAKE_BINARY_DIR}/CPackConfig.cmake
                   WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
                   COMMENT "Installer ${QUARVELO_INSTALLER} (CPack, NSIS)" VERBATIM)
add_custom_target(installer DEPENDS ${QUARVELO_INSTALLER})
