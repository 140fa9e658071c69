# What a release holds. On Linux: the install tree of cmake --install and
# the .deb (CPack DEB). In the Windows build: the zip an operator unpacks
# anywhere and uses from its folder (CPack ZIP).
include(GNUInstallDirs)

set(CPACK_PACKAGE_NAME exifcheck)
set(CPACK_PACKAGE_VENDOR "${EXIFCHECK_AUTHORS}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "check aerial survey frames for consistent EXIF metadata")
set(CPACK_STRIP_FILES ON)
set(EXIFCHECK_MAINTAINER "exifcheck developers <exifcheck@example.org>" CACHE STRING
    "Maintainer field of the .deb")

if(WIN32)
  # Notepad on a Chinese-locale Windows takes a text without a byte-order
  # mark for code page 936, and older Notepads want CR LF: the zip's texts
  # get both here, the repository keeps UTF-8 with LF.
  string(ASCII 239 187 191 EXIFCHECK_UTF8_BOM)
  function(exifcheck_windows_text source target bom)
    file(READ ${CMAKE_SOURCE_DIR}/${source} text)
    string(REPLACE "\r\n" "\n" text "${text}")
    string(REPLACE "\n" "\r\n" text "${text}")
    if(bom)
      set(text "${EXIFCHECK_UTF8_BOM}${text}")
    endif()
    file(WRITE ${CMAKE_BINARY_DIR}/zip/${target} "${text}")
    set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
    install(FILES ${CMAKE_BINARY_DIR}/zip/${target} DESTINATION .)
  endfunction()
  # .txt, not .md: a stock Windows opens .txt in Notepad by double-click.
  exifcheck_windows_text(README.md README.txt ON)
  exifcheck_windows_text(README.zh-CN.md README.zh-CN.txt ON)
  # cmd.exe reads a batch file in the console's code page: it stays ASCII, without a mark.
  exifcheck_windows_text(packaging/check-survey.bat check-survey.bat OFF)
  exifcheck_windows_text(packaging/exifcheck.ini exifcheck.ini OFF)
  install(TARGETS exifcheck RUNTIME DESTINATION .)
  # The example settings check it, so a double-click on check-survey.bat shows a report at once.
  install(DIRECTORY examples/survey/ DESTINATION example-survey)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
  set(CPACK_PACKAGE_FILE_NAME exifcheck-${PROJECT_VERSION}-win64)
else()
  install(TARGETS exifcheck RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

  # Debian wants manual pages and changelogs gzipped, without a time stamp
  # (-n) so that two builds give the same bytes; man reads them either way.
  function(exifcheck_gzip source target)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${target}.gz
      COMMAND gzip -9n -c ${source} > ${CMAKE_BINARY_DIR}/${target}.gz
      DEPENDS ${source} VERBATIM)
  endfunction()
  configure_file(doc/exifcheck.1.in ${CMAKE_BINARY_DIR}/exifcheck.1 @ONLY)
  exifcheck_gzip(${CMAKE_BINARY_DIR}/exifcheck.1 exifcheck.1)
  configure_file(packaging/changelog.in ${CMAKE_BINARY_DIR}/changelog.txt @ONLY)
  exifcheck_gzip(${CMAKE_BINARY_DIR}/changelog.txt changelog)
  add_custom_target(exifcheck_docs ALL DEPENDS ${CMAKE_BINARY_DIR}/exifcheck.1.gz
                    ${CMAKE_BINARY_DIR}/changelog.gz)

  install(FILES ${CMAKE_BINARY_DIR}/exifcheck.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES README.md README.zh-CN.md examples/exifcheck.ini examples/gate-survey.sh
                packaging/copyright ${CMAKE_BINARY_DIR}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DOCDIR})

  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${EXIFCHECK_MAINTAINER}")
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # dpkg-shlibdeps reads the binary's NEEDED libraries and names the
  # packages and least versions that provide them (libc6, libstdc++6, libgcc-s1).
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # CPack hands on only variables named CPACK_*.
  set(CPACK_EXIFCHECK_STRIP "${CMAKE_STRIP}")
  set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/deb-strip.cmake)
  set(CPACK_PACKAGE_DESCRIPTION
"exifcheck checks the frames of one aerial survey for consistent camera
metadata before they go on to photogrammetry. It reads the EXIF data of
every JPEG under an image folder and groups the frames by resolution,
camera maker, 35 mm focal length and GPS position. Frames that stand out
are listed on the console and written to error.json, and the exit status
tells a script whether the survey may pass.")
endif()

include(CPack)
