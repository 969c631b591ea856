# Install rules, the Debian package and the Windows archive.
#
#   cmake --install build --prefix /usr/local     # programs, manual pages, docs, completions
#   (cd build && cpack -G DEB)                    # lexbuild_<version>_<arch>.deb
#   (cd build-windows && cpack -G ZIP)            # lexbuild-<version>-win64.zip (Windows build)
#
# Only the two programs and their documentation are installed: the tests,
# benchmarks and fuzz targets stay in the build folder.

include(GNUInstallDirs)

set(LEXBUILD_PACKAGED_PROGRAMS lexbuild)
if(TARGET lexdump)
  list(APPEND LEXBUILD_PACKAGED_PROGRAMS lexdump)
endif()

if(WIN32)
  # A Windows archive is one folder: the programs, the README as text, the
  # licence and the sample; manual pages and completions have no use there.
  install(TARGETS ${LEXBUILD_PACKAGED_PROGRAMS} RUNTIME DESTINATION .)
  install(FILES README.md DESTINATION . RENAME README.txt)
  install(FILES COPYING DESTINATION . RENAME COPYING.txt)
  install(FILES examples/sample.tab DESTINATION .)
else()
  install(TARGETS ${LEXBUILD_PACKAGED_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

  # Manual pages, compressed the way Debian ships them (gzip -n keeps the
  # archive free of time stamps, so that two builds give the same bytes).
  find_program(LEXBUILD_GZIP gzip)
  set(LEXBUILD_MAN_PAGES)
  foreach(program ${LEXBUILD_PACKAGED_PROGRAMS})
    set(page ${PROJECT_SOURCE_DIR}/man/${program}.1)
    if(LEXBUILD_GZIP)
      set(compressed ${CMAKE_BINARY_DIR}/man/${program}.1.gz)
      add_custom_command(
        OUTPUT ${compressed}
        COMMAND ${CMAKE_COMMAND} -E copy ${page} ${CMAKE_BINARY_DIR}/man/${program}.1
        COMMAND ${LEXBUILD_GZIP} -9nf ${CMAKE_BINARY_DIR}/man/${program}.1
        DEPENDS ${page}
        COMMENT "Compressing the manual page ${program}.1"
        VERBATIM)
      list(APPEND LEXBUILD_MAN_PAGES ${compressed})
    else()
      list(APPEND LEXBUILD_MAN_PAGES ${page})
    endif()
  endforeach()
  add_custom_target(man_pages ALL DEPENDS ${LEXBUILD_MAN_PAGES})
  install(FILES ${LEXBUILD_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

  set(LEXBUILD_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/lexbuild)
  install(FILES README.md COPYING examples/sample.tab DESTINATION ${LEXBUILD_DOC_DIR})
  # Debian looks for the licence under this name.
  install(FILES COPYING DESTINATION ${LEXBUILD_DOC_DIR} RENAME copyright)

  foreach(program ${LEXBUILD_PACKAGED_PROGRAMS})
    install(FILES completions/${program}
            DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
  endforeach()
endif()

# ---- Debian package (cpack -G DEB in the build folder) ----
set(CPACK_PACKAGE_NAME lexbuild)
set(CPACK_PACKAGE_VENDOR "the lexbuild developers")
# Whoever builds the package for others names themselves here.
set(LEXBUILD_PACKAGE_MAINTAINER "the lexbuild developers <lexbuild@invalid>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_PACKAGE_CONTACT "${LEXBUILD_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "dictionary database compiler for the Velmora reader on Palm OS handhelds")
set(CPACK_PACKAGE_DESCRIPTION
    "lexbuild compiles a word list (tab-separated or quoted CSV; 8-bit, UTF-16
or UTF-8) into one Palm OS dictionary database for the Velmora reader: the
list is sorted by the collation of the author's language, indexed,
compressed and assembled into a .pdb file. lexdump reads such a database
back: it shows its header, verifies its structure, lists its entries and
looks words up.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/COPYING)
if(NOT WIN32)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)  # the Windows archive is one folder
endif()
set(CPACK_STRIP_FILES ON)
if(NOT CPACK_GENERATOR)
  if(WIN32)
    set(CPACK_GENERATOR ZIP)  # lexbuild-<version>-win64.zip
    set(CPACK_PACKAGE_FILE_NAME lexbuild-${PROJECT_VERSION}-win64)
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  elseif(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    set(CPACK_GENERATOR DEB)
  endif()
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # lexbuild_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The run-time dependencies (libc6, libstdc++6, libgcc-s1, ICU's library
# package) are read off the programs by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion, man-db")

include(CPack)
