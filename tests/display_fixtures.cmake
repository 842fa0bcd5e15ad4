# Fixtures of the display tests (include from tests/CMakeLists.txt after the
# display test folder). The tests load the driver libraries by file name, as
# a POS does; links beside the test program point at the built libraries in
# bin/, which a library loaded by name is looked for beside the program first.
# The tests also run pds, vdisplay and commsend from bin/.
if(TARGET display_tests)
  foreach(lib ldisp ldisp2 gdisp)
    add_custom_command(TARGET display_tests POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E create_symlink $<TARGET_FILE:${lib}>
              $<TARGET_FILE_DIR:display_tests>/$<TARGET_FILE_NAME:${lib}>
      VERBATIM)
  endforeach()
  add_dependencies(display_tests ldisp ldisp2 gdisp pds vdisplay commsend)
endif()
