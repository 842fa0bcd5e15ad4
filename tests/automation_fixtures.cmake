# Fixtures of the automation and msgsend tests (include from
# tests/CMakeLists.txt after both test folders). The automation test program
# links the C interface with the message object and a double of the message
# client; Python callers load libpinkauto.so and a library built the same way
# around the probe object. End-to-end cases run msgsend and the provider
# simulator msgsim.
if(TARGET automation_tests)
  pink_shared_library(pinkauto_probe DEF ${PROJECT_SOURCE_DIR}/automation/pinkauto.def
    SOURCES ${PROJECT_SOURCE_DIR}/automation/capi.cpp ${CMAKE_CURRENT_SOURCE_DIR}/automation/probe.cpp
    LIBS pink_automation)
  set_target_properties(pinkauto_probe PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_compile_definitions(automation_tests PRIVATE PINK_PROBE_LIBRARY="$<TARGET_FILE:pinkauto_probe>")
  add_dependencies(automation_tests pinkauto pinkauto_probe)
endif()
if(TARGET msgsend_tests)
  add_dependencies(msgsend_tests msgsend)
endif()
foreach(t automation_tests msgsend_tests)
  if(TARGET ${t})
    add_dependencies(${t} msgsim)
  endif()
endforeach()
