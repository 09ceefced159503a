# What `cmake --install` puts where, and the packages `cpack` makes in a build folder: a .deb
# from the Linux build, tagpress-VERSION-win64.zip from the Windows cross build. The zip holds
# both programs, the zone files they read beside them, the README and the manual pages as text.

if(WIN32)
  install(TARGETS tagpress hstdump RUNTIME DESTINATION .)
  install(FILES README.md DESTINATION .)

  # The manual pages as plain text, for readers without man.
  find_program(TAGPRESS_GROFF groff)
  if(TAGPRESS_GROFF)
    foreach(page tagpress hstdump)
      add_custom_command(
        OUTPUT ${CMAKE_BINARY_DIR}/${page}.txt
        COMMAND ${TAGPRESS_GROFF} -man -Tutf8 -rHY=0 -P-cbou ${PROJECT_SOURCE_DIR}/man/${page}.1
                > ${CMAKE_BINARY_DIR}/${page}.txt
        DEPENDS ${PROJECT_SOURCE_DIR}/man/${page}.1
        VERBATIM)
      install(FILES ${CMAKE_BINARY_DIR}/${page}.txt DESTINATION .)
    endforeach()
    add_custom_target(manual_text ALL DEPENDS ${CMAKE_BINARY_DIR}/tagpress.txt
                                              ${CMAKE_BINARY_DIR}/hstdump.txt)
  else()
    message(WARNING "groff not found (Debian: groff-base): the package lacks the manual pages")
  endif()

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
else()
  install(TARGETS tagpress hstdump RUNTIME DESTINATION bin)
  install(FILES man/tagpress.1 man/hstdump.1 DESTINATION share/man/man1)
  install(FILES README.md DESTINATION share/doc/tagpress)

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34), libgcc-s1, libstdc++6 (>= 12)")
endif()

set(CPACK_PACKAGE_NAME tagpress)
set(CPACK_PACKAGE_VENDOR "tagpress")
set(CPACK_PACKAGE_CONTACT "tagpress maintainers <tagpress@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Converts ASCII logs of timestamped measurements into binary history files")
include(CPack)
