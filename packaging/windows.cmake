# The Windows packages: a per-machine Windows Installer package, built with
# every build, and a zip of quorvex.exe with a text on starting it with Windows.
# make-msi.sh builds the package with wixl and msitools' msibuild.
find_program(WIXL wixl REQUIRED)
find_program(MSIBUILD msibuild REQUIRED)
set(msi ${CPACK_PACKAGE_DIRECTORY}/quorvex-${PROJECT_VERSION}-windows-x64.msi)
set(icon ${PROJECT_SOURCE_DIR}/src/ui/assets/icon.ico)
add_custom_command(OUTPUT ${msi}
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/windows/make-msi.sh ${msi} $<TARGET_FILE:quorvex> ${icon}
          ${PROJECT_VERSION} ${QUORVEX_PRODUCT_NAME} ${QUORVEX_MANUFACTURER}
  DEPENDS quorvex ${icon} windows/quorvex.wxs windows/make-msi.sh
  COMMENT "Windows Installer package ${msi}" VERBATIM)
add_custom_target(quorvex_msi ALL DEPENDS ${msi})
# Where the installer test finds the package and what it builds it from.
set_target_properties(quorvex_msi PROPERTIES PACKAGE_FILE ${msi} ICON_FILE ${icon})

install(TARGETS quorvex RUNTIME DESTINATION .)
install(FILES windows-startup.txt DESTINATION . RENAME 启动说明.txt)
set(CPACK_GENERATOR ZIP)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_PACKAGE_FILE_NAME quorvex-${PROJECT_VERSION}-windows)
include(CPack)

