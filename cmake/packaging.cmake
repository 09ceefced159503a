# What `cmake --install` puts where, and the packages `cpack` makes in a build folder: a .deb
# from the Linux build, tagpress-VERSION-win64.zip from the Windows cross build. The zip holds
# both programs, the zone files they read beside them, and doc\ with the README, the licence
# and the manual pages as text.

if(WIN32)
  install(TARGETS tagpress hstdump RUNTIME DESTINATION .)

  # The README, the licence and the manual pages (as plain text, for readers without man) go in
  # doc\ as .txt files with CR LF line ends: beside the programs, `tagpress.exe *.txt` run in
  # the unpacked folder would take them for logs.
  set(doc ${CMAKE_BINARY_DIR}/doc)
  set(crlf ${PROJECT_SOURCE_DIR}/cmake/windows/crlf.cmake)
  set(doc_files)
  foreach(source README.md LICENSE)
    get_filename_component(name ${source} NAME_WE)
    add_custom_command(
      OUTPUT ${doc}/${name}.txt
      COMMAND ${CMAKE_COMMAND} -DINPUT=${PROJECT_SOURCE_DIR}/${source} -DOUTPUT=${doc}/${name}.txt
              -P ${crlf}
      DEPENDS ${PROJECT_SOURCE_DIR}/${source} ${crlf}
      VERBATIM)
    list(APPEND doc_files ${doc}/${name}.txt)
  endforeach()
  find_program(TAGPRESS_GROFF groff)
  if(TAGPRESS_GROFF)
    set(groff_out ${CMAKE_BINARY_DIR}/CMakeFiles/manual_text)
    file(MAKE_DIRECTORY ${groff_out})
    foreach(page tagpress hstdump)
      add_custom_command(
        OUTPUT ${doc}/${page}.txt
        COMMAND ${TAGPRESS_GROFF} -man -Tutf8 -rHY=0 -P-cbou ${PROJECT_SOURCE_DIR}/man/${page}.1
                > ${groff_out}/${page}.txt
        COMMAND ${CMAKE_COMMAND} -DINPUT=${groff_out}/${page}.txt -DOUTPUT=${doc}/${page}.txt
                -P ${crlf}
        DEPENDS ${PROJECT_SOURCE_DIR}/man/${page}.1 ${crlf}
        VERBATIM)
      list(APPEND doc_files ${doc}/${page}.txt)
    endforeach()
  else()
    message(WARNING "groff not found (Debian: groff-base): the package lacks the manual pages")
  endif()
  add_custom_target(windows_doc ALL DEPENDS ${doc_files})
  install(FILES ${doc_files} DESTINATION doc)

  # The tz database's compiled zone files, without the posix/ and right/ copies; links are
  # resolved, as a zip file cannot hold them.
  set(TAGPRESS_ZONEINFO_SOURCE /usr/share/zoneinfo CACHE PATH "Zone files shipped with tagpress.exe")
  file(GLOB_RECURSE zone_files LIST_DIRECTORIES false RELATIVE ${TAGPRESS_ZONEINFO_SOURCE}
       ${TAGPRESS_ZONEINFO_SOURCE}/*)
  foreach(zone ${zone_files})
    if(zone MATCHES "^(posix|right)/")
      continue()
    endif()
    get_filename_component(zone_dir ${zone} DIRECTORY)
    get_filename_component(zone_name ${zone} NAME)
    file(REAL_PATH ${TAGPRESS_ZONEINFO_SOURCE}/${zone} zone_file)
    install(FILES ${zone_file} DESTINATION zoneinfo/${zone_dir} RENAME ${zone_name})
  endforeach()
  # The programs in the build folder find the same files beside them.
  if(CMAKE_HOST_UNIX AND NOT EXISTS ${CMAKE_BINARY_DIR}/zoneinfo)
    file(CREATE_LINK ${TAGPRESS_ZONEINFO_SOURCE} ${CMAKE_BINARY_DIR}/zoneinfo SYMBOLIC)
  endif()

  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME tagpress-${PROJECT_VERSION}-win64)

  # The zip file packed into a folder of its own (not the one `cpack` uses), then its layout
  # checked. cpack builds what is out of date first.
  find_program(TAGPRESS_PYTHON python3)
  if(TAGPRESS_BUILD_TESTS AND TAGPRESS_PYTHON)
    add_test(NAME WindowsZip.Pack
             COMMAND ${CMAKE_CPACK_COMMAND} --config ${CMAKE_BINARY_DIR}/CPackConfig.cmake
                     -B ${CMAKE_BINARY_DIR}/zip_test)
    add_test(NAME WindowsZip.Layout
             COMMAND ${TAGPRESS_PYTHON} ${PROJECT_SOURCE_DIR}/cmake/windows/zip_layout_test.py
                     ${CMAKE_BINARY_DIR}/zip_test/${CPACK_PACKAGE_FILE_NAME}.zip)
    set_tests_properties(WindowsZip.Pack PROPERTIES FIXTURES_SETUP windows_zip)
    set_tests_properties(WindowsZip.Layout PROPERTIES FIXTURES_REQUIRED windows_zip)
  endif()
else()
  install(TARGETS tagpress hstdump RUNTIME DESTINATION bin)
  install(FILES man/tagpress.1 man/hstdump.1 DESTINATION share/man/man1)
  install(FILES README.md DESTINATION share/doc/tagpress)

  # What Debian asks beyond that (compressed manual pages, the copyright file and the
  # changelog in the doc folder) is done on the staged files by a script run by cpack, so that
  # `cmake --install` keeps the plain layout. lintian finds neither errors nor warnings. The
  # package is made here from the project's own tree, which Debian calls a native package: its
  # version is the project's, without a Debian revision, and its changelog is changelog.gz.
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  # Depends from the libraries the programs load, as dpkg-shlibdeps finds them: the Release
  # build of tagpress has the C++ run-time linked in, hstdump does not.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
      OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/debian/finish_package.cmake)
  set(CPACK_TAGPRESS_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
  set(CPACK_TAGPRESS_DEBIAN_CHANGELOG ${PROJECT_SOURCE_DIR}/cmake/debian/changelog)
endif()

set(CPACK_PACKAGE_NAME tagpress)
set(CPACK_PACKAGE_VENDOR "tagpress")
set(CPACK_PACKAGE_CONTACT "tagpress developers <tagpress-dev@lists.tagpress.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Converts ASCII logs of timestamped measurements into binary history files")
# Paragraphs are separated by an empty line; Debian wants lines of at most 80 columns.
set(CPACK_PACKAGE_DESCRIPTION [[
tagpress turns ASCII logs of timestamped measurements, one line per
sample with a local date and time and one value per tag, into the binary
history files (.HST) of a data-acquisition system. It reads fixed-width
and delimited logs, decimal commas and missing values, and converts many
logs at once on several threads.

hstdump, the companion program, prints a history file back as CSV, with
times in UTC or local time, or a summary of its header.

Both programs run on Linux and, cross-compiled with MinGW-w64, on
Windows.]])
include(CPack)

