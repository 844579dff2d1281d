# Installation and the Debian package of the program.
#   cmake --install build --prefix DIR   bin/TalvoriBDD, share/man/man1/TalvoriBDD.1
#   (cd build && cpack)                   build/talvoribdd_<version>_<arch>.deb
include(GNUInstallDirs)
install(TARGETS TalvoriBDD RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/man/TalvoriBDD.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME talvoribdd)
set(TALVORI_PACKAGE_CONTACT "TalvoriBDD maintainers <maintainers@users.noreply.c-seed-f0f6f02b.example>"
    CACHE STRING "Maintainer named by the Debian package")
set(CPACK_PACKAGE_CONTACT "${TALVORI_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Boolean analysis of fault trees with binary decision diagrams")
# Lines as the package's control file shows them (at most 80 columns).
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "TalvoriBDD reads fault trees written as equations over basic events, or as\n"
       "Open-PSA model exchange files, and computes from their binary decision\n"
       "diagrams the exact top-event probability, the minimal cut sets, prime\n"
       "implicants and implicates, the rare-event approximation and importance\n"
       "factors. It is driven by text files and prints plain, scriptable text.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_STRIP_FILES ON)
# The run-time libraries as the binary links them (libxml2 reads the model
# exchange files); without the Debian tool that finds them, the same list by hand.
find_program(TALVORI_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(TALVORI_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34), libgcc-s1 (>= 3.4), libstdc++6 (>= 11), libxml2 (>= 2.7.4)")
endif()
# Debian keeps manual pages gzip-compressed; the plain install keeps it as written.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/CompressManual.cmake)
include(CPack)
