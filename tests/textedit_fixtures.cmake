# Fixtures of the text edit tests (include from tests/CMakeLists.txt after the
# textedit test folder). Under tests/textedit_double/ (never bin/, so the
# stand-in there is never shadowed):
#   pink_textedit_probe          edits its arguments through the process's
#                                binding; no library beside it, so it takes
#                                libXOposPrint.so from $LD_LIBRARY_PATH
#   edit/libXOposPrint.so        upper-cases and pads; refuses "FAIL..." lines
#   full/libXOposPrint.so        fills all 100 bytes, no NUL
#   noedit/libXOposPrint.so      has no EditText
set(pink_textedit_double_src ${CMAKE_CURRENT_LIST_DIR}/textedit/double)
set(pink_textedit_double_out ${CMAKE_BINARY_DIR}/tests/textedit_double)

function(pink_textedit_double target kind folder)
  add_library(${target} SHARED ${pink_textedit_double_src}/double.cpp)
  target_link_libraries(${target} PRIVATE pink_flags)
  target_compile_definitions(${target} PRIVATE PINK_TEXTEDIT_DOUBLE=${kind})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME XOposPrint
    LIBRARY_OUTPUT_DIRECTORY ${pink_textedit_double_out}/${folder}
    RUNTIME_OUTPUT_DIRECTORY ${pink_textedit_double_out}/${folder})
endfunction()

pink_textedit_double(pink_textedit_double_edit PINK_DOUBLE_EDIT edit)
pink_textedit_double(pink_textedit_double_full PINK_DOUBLE_FULL full)
pink_textedit_double(pink_textedit_double_noedit PINK_DOUBLE_NO_EDIT noedit)

add_executable(pink_textedit_probe ${pink_textedit_double_src}/probe.cpp)
target_link_libraries(pink_textedit_probe PRIVATE pink_textedit pink_flags)
set_target_properties(pink_textedit_probe PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${pink_textedit_double_out})

if(TARGET textedit_tests)
  add_dependencies(textedit_tests XOposPrint pink_textedit_double_edit pink_textedit_double_full
    pink_textedit_double_noedit pink_textedit_probe)
endif()
