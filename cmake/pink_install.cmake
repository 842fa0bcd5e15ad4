# Installing the Linux build: programs, libraries, headers, a pkg-config file
# per library, the Python binding of the automation objects, the service
# units of the resident kitchen printers with their environment file, and the
# reference pages. `cmake --install <build> --prefix DIR` (or `make install
# PREFIX=DIR`) lays them out under DIR; `make deb` packages the same tree.
#
#   bin/                       programs and tools
#   lib/lib<name>.so           libraries, each named as its SONAME
#   lib/pkgconfig/<name>.pc    relocatable: the prefix is found from the file's place
#   include/pink/              headers
#   lib/python3/dist-packages/pinkauto.py
#   lib/systemd/system/        kitmux@.service, kitfeed@.service (run as the POS user %i)
#   lib/systemd/user/          kitmux.service, kitfeed.service
#   etc/pink/kitchen.env       (/etc/pink/kitchen.env when the prefix is /usr)
#   share/doc/pink/            README and reference pages
#
# Programs find the libraries they load by name through their run path
# ($ORIGIN/../lib); libraries find their companions beside themselves.

if(NOT PINK_OS STREQUAL "posix")
  return()
endif()

set(PINK_INSTALL_PROGRAMS
  printer enter kitchen kitchenb kitmux kitfeed pds corvana hx410
  mailbox commsend drawerd msgsend padctl
  vprinter vcom vdisplay vdrawer vhandy vpad vscanner paysim msgsim)

# Library, pkg-config description.
set(PINK_INSTALL_LIBRARIES
  "rcptlib|receipt printer library: serial, parallel, USB and network printers, text and BMP printing"
  "ldisp|customer display driver (COM6, raw text)"
  "ldisp2|customer display driver (COM4, two 20-column lines)"
  "gdisp|customer display driver (COM4, two 32-column lines)"
  "drawerio|cash drawer driver (TevDraw2kKwDev)"
  "cashbox|cash drawer driver (DovCBXDev)"
  "scanio|serial barcode scanner driver"
  "CorvanaVAN|payment network link: TLS session, control-byte exchange, checksums, PIN blocks"
  "ssllib32|TLS client library of the payment link"
  "icapi|IC card reader entry points"
  "XOposPrint|text edit library of the print spoolers (stand-in that returns each line unchanged)"
  "msgcall|MMS/SMS message sending client"
  "pinkauto|automation objects (message client, signature pad controls) for C callers")

set(pink_programs "")
foreach(p IN LISTS PINK_INSTALL_PROGRAMS)
  if(TARGET ${p})
    list(APPEND pink_programs ${p})
  endif()
endforeach()
set_target_properties(${pink_programs} PROPERTIES INSTALL_RPATH "$ORIGIN/../lib")
install(TARGETS ${pink_programs} RUNTIME DESTINATION bin)

set(pink_pc_dir ${CMAKE_BINARY_DIR}/pkgconfig)
foreach(entry IN LISTS PINK_INSTALL_LIBRARIES)
  string(REPLACE "|" ";" entry "${entry}")
  list(GET entry 0 PINK_PC_NAME)
  list(GET entry 1 PINK_PC_DESCRIPTION)
  if(NOT TARGET ${PINK_PC_NAME})
    continue()
  endif()
  set_target_properties(${PINK_PC_NAME} PROPERTIES INSTALL_RPATH "$ORIGIN")
  install(TARGETS ${PINK_PC_NAME} LIBRARY DESTINATION lib)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/pkgconfig/pink-library.pc.in
    ${pink_pc_dir}/${PINK_PC_NAME}.pc @ONLY)
  install(FILES ${pink_pc_dir}/${PINK_PC_NAME}.pc DESTINATION lib/pkgconfig)
endforeach()

install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/pink DESTINATION include FILES_MATCHING PATTERN "*.h")
install(FILES ${PROJECT_SOURCE_DIR}/bindings/python/pinkauto.py DESTINATION lib/python3/dist-packages)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION share/doc/pink)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION share/doc/pink/docs FILES_MATCHING PATTERN "*.md")

# The units name the programs by their installed path and the environment
# file by the configuration folder of the prefix, both known only when the
# install runs (`cmake --install --prefix` may choose another prefix), so
# they are made then.
install(CODE "set(PINK_UNIT_SOURCES \"${PROJECT_SOURCE_DIR}/packaging/systemd\")
  set(PINK_UNIT_STAGE \"${CMAKE_BINARY_DIR}/systemd\")")
install(SCRIPT ${PROJECT_SOURCE_DIR}/cmake/pink_install_units.cmake)

# The Debian package (`make deb`): the same tree under /usr, the
# environment file under /etc as a configuration file.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pink)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "pink maintainers <pink@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "POS terminal peripherals: printers, display, drawer, scanner, pads, payment link")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_SET_DESTDIR ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libsqlite3-0, libssl3, zlib1g, libfreetype6, libfontconfig1")
# vprinter draws the printed paper with this font and stops without it
# (unless told --no-picture); nothing else needs it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-nanum")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/debian/conffiles)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/packages)
include(CPack)
