# The Windows packages, built with every build into package/: a per-machine
# Windows Installer package and a zip of the program with its licence and a
# text on starting it with Windows. Both carry the program as it ships:
# stripped (the debug information stays in the build's own quorvex.exe) and,
# given a certificate, signed; the installer package is signed once made.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64)$")
  set(QUORVEX_WINDOWS_ARCH x64)
else()
  set(QUORVEX_WINDOWS_ARCH x86)
endif()
set(QUORVEX_SIGNING_CERT "" CACHE FILEPATH
    "Code-signing certificate (PEM or DER), or a PKCS#12 file with certificate and key; empty: no signing")
set(QUORVEX_SIGNING_KEY "" CACHE FILEPATH "The certificate's private key (PEM or DER); empty with a PKCS#12 file")
set(QUORVEX_SIGNING_PASSWORD_FILE "" CACHE FILEPATH "A file holding the key's password, where it has one")
set(QUORVEX_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamp server for the signatures; empty: none")

find_program(WIXL wixl REQUIRED)
find_program(MSIBUILD msibuild REQUIRED)
find_program(PYTHON3 python3 REQUIRED)
set(windows ${CMAKE_CURRENT_SOURCE_DIR}/windows)
set(stem quorvex-${PROJECT_VERSION}-windows-${QUORVEX_WINDOWS_ARCH})
set(shipped ${CMAKE_CURRENT_BINARY_DIR}/shipped/quorvex.exe)
set(msi ${CPACK_PACKAGE_DIRECTORY}/${stem}.msi)
set(zip ${CPACK_PACKAGE_DIRECTORY}/${stem}.zip)
set(icon ${PROJECT_SOURCE_DIR}/src/ui/assets/icon.ico)
set(licence ${PROJECT_SOURCE_DIR}/LICENSE)
set(startup_text ${CMAKE_CURRENT_SOURCE_DIR}/windows-startup.txt)

set(sign_shipped)
set(sign_msi)
if(QUORVEX_SIGNING_CERT)
  find_program(OSSLSIGNCODE osslsigncode REQUIRED)
  set(sign ${windows}/sign.sh --cert=${QUORVEX_SIGNING_CERT} --description=${QUORVEX_PRODUCT_NAME})
  if(QUORVEX_SIGNING_KEY)
    list(APPEND sign --key=${QUORVEX_SIGNING_KEY})
  endif()
  if(QUORVEX_SIGNING_PASSWORD_FILE)
    list(APPEND sign --password-file=${QUORVEX_SIGNING_PASSWORD_FILE})
  endif()
  if(QUORVEX_TIMESTAMP_URL)
    list(APPEND sign --timestamp=${QUORVEX_TIMESTAMP_URL})
  endif()
  set(sign_shipped COMMAND ${sign} ${shipped})
  set(sign_msi COMMAND ${sign} ${msi})
  set(signing_inputs ${QUORVEX_SIGNING_CERT} ${QUORVEX_SIGNING_KEY})
endif()

add_custom_command(OUTPUT ${shipped}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/shipped
  COMMAND ${CMAKE_STRIP} --strip-all -o ${shipped} $<TARGET_FILE:quorvex>
  ${sign_shipped}
  DEPENDS quorvex ${windows}/sign.sh ${signing_inputs}
  COMMENT "The shipped quorvex.exe" VERBATIM)
# make-msi.sh builds the package with wixl and msitools' msibuild.
add_custom_command(OUTPUT ${msi}
  COMMAND ${windows}/make-msi.sh ${msi} ${shipped} ${icon} ${licence} ${PROJECT_VERSION}
          ${QUORVEX_PRODUCT_NAME} ${QUORVEX_MANUFACTURER} ${QUORVEX_WINDOWS_ARCH}
  ${sign_msi}
  DEPENDS ${shipped} ${icon} ${licence} ${windows}/quorvex.wxs ${windows}/make-msi.sh
  COMMENT "Windows Installer package ${msi}" VERBATIM)
add_custom_command(OUTPUT ${zip}
  COMMAND ${PYTHON3} ${windows}/make-zip.py ${zip} ${shipped} ${licence} ${startup_text}
  DEPENDS ${shipped} ${licence} ${startup_text} ${windows}/make-zip.py
  COMMENT "Zip ${zip}" VERBATIM)
add_custom_target(quorvex_packages ALL DEPENDS ${msi} ${zip})
# Where the package tests find the packages and what they were made from.
set_target_properties(quorvex_packages PROPERTIES
  MSI_FILE ${msi} ZIP_FILE ${zip} SHIPPED_PROGRAM ${shipped} ICON_FILE ${icon} LICENCE_FILE ${licence}
  WINDOWS_ARCH ${QUORVEX_WINDOWS_ARCH})
