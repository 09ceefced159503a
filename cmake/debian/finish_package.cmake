# Run by cpack (CPACK_PRE_BUILD_SCRIPTS) on the files staged for the Debian package, before they
# are packed: what Debian asks of a package beyond what `cmake --install` puts in place. The
# manual pages and the larger documents are compressed, the licence becomes a machine-readable
# copyright file and the changelog (cmake/debian/changelog, in Debian's format) is added,
# compressed. gzip -n leaves the file's name and time out of its header, so that a compressed
# file depends on its contents only.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
find_program(gzip gzip REQUIRED)
# CPackDeb leaves Depends empty without dpkg-shlibdeps instead of failing.
find_program(shlibdeps dpkg-shlibdeps)
if(NOT shlibdeps)
  message(FATAL_ERROR "dpkg-shlibdeps (Debian: dpkg-dev) is needed for the package's Depends")
endif()

set(root ${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX})
set(doc ${root}/share/doc/${CPACK_PACKAGE_NAME})
set(file_permissions OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

file(GLOB manual_pages ${root}/share/man/man*/*.[1-9])
foreach(page ${manual_pages})
  execute_process(COMMAND ${gzip} -9nf ${page} COMMAND_ERROR_IS_FATAL ANY)
endforeach()

# Debian wants documents over 4 kB compressed (the README).
file(GLOB documents ${doc}/*)
foreach(document ${documents})
  file(SIZE ${document} size)
  if(size GREATER 4096)
    execute_process(COMMAND ${gzip} -9nf ${document} COMMAND_ERROR_IS_FATAL ANY)
  endif()
endforeach()

# The copyright file in Debian's machine-readable format, with the holders and the licence
# text of LICENSE. In a field's continuation lines an empty line is written as " .".
file(READ ${CPACK_TAGPRESS_LICENSE} licence)
if(NOT licence MATCHES "Copyright \\(c\\) ([^\n]+)\n\n(Permission is hereby granted.*)$")
  message(FATAL_ERROR "${CPACK_TAGPRESS_LICENSE}: no MIT licence text after a copyright line")
endif()
set(holders "${CMAKE_MATCH_1}")
string(STRIP "${CMAKE_MATCH_2}" licence_text)
string(REPLACE "\n\n" "\n.\n" licence_text "${licence_text}")
string(REPLACE "\n" "\n " licence_text "${licence_text}")
file(WRITE ${doc}/copyright
     "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
     "Upstream-Name: ${CPACK_PACKAGE_NAME}\n"
     "\n"
     "Files: *\n"
     "Copyright: ${holders}\n"
     "License: Expat\n"
     " ${licence_text}\n")

# The changelog's newest entry must be the one of the version packaged.
set(version ${CPACK_PACKAGE_VERSION})
file(STRINGS ${CPACK_TAGPRESS_DEBIAN_CHANGELOG} newest LIMIT_COUNT 1)
if(NOT newest MATCHES "^[^ ]+ \\(([^)]+)\\)" OR NOT CMAKE_MATCH_1 STREQUAL version)
  message(FATAL_ERROR "${CPACK_TAGPRESS_DEBIAN_CHANGELOG} has no entry for ${version} at the top")
endif()
file(COPY_FILE ${CPACK_TAGPRESS_DEBIAN_CHANGELOG} ${doc}/changelog)
execute_process(COMMAND ${gzip} -9nf ${doc}/changelog COMMAND_ERROR_IS_FATAL ANY)

file(CHMOD ${doc}/copyright ${doc}/changelog.gz PERMISSIONS ${file_permissions})
