# Fixtures of the platform tests (include from tests/CMakeLists.txt after the
# platform test folder). A tiny library is built in three copies:
#   tests/libpink_dynlib_beside.so                 beside the test program
#   tests/dynlib_fixture/near/libpink_dynlib_fixture.so  beside the probe program
#   tests/dynlib_fixture/far/libpink_dynlib_fixture.so   and ..._far_only.so,
#                                                  found only through the search path
#   tests/dynlib_fixture/asker/libpink_dynlib_asker.so   a library that loads
#                                                  libpink_dynlib_fixture.so, with a copy beside it
# so that the tests can show which folder a library is taken from.
set(pink_fixture_src ${CMAKE_CURRENT_LIST_DIR}/platform/dynlib_fixture)
set(pink_fixture_out ${CMAKE_BINARY_DIR}/tests/dynlib_fixture)

function(pink_dynlib_fixture target output_name folder where)
  add_library(${target} SHARED ${pink_fixture_src}/fixture.cpp)
  target_link_libraries(${target} PRIVATE pink_flags)
  target_compile_definitions(${target} PRIVATE PINK_FIXTURE_WHERE="${where}")
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${output_name}
    LIBRARY_OUTPUT_DIRECTORY ${folder} RUNTIME_OUTPUT_DIRECTORY ${folder})
endfunction()

pink_dynlib_fixture(pink_dynlib_fixture_beside pink_dynlib_beside ${CMAKE_BINARY_DIR}/tests "beside")
pink_dynlib_fixture(pink_dynlib_fixture_near pink_dynlib_fixture ${pink_fixture_out}/near "near")
pink_dynlib_fixture(pink_dynlib_fixture_far pink_dynlib_fixture ${pink_fixture_out}/far "far")
pink_dynlib_fixture(pink_dynlib_fixture_far_only pink_dynlib_fixture_far_only ${pink_fixture_out}/far "far only")

pink_dynlib_fixture(pink_dynlib_fixture_asker pink_dynlib_fixture ${pink_fixture_out}/asker "asker")
add_library(pink_dynlib_asker SHARED ${pink_fixture_src}/asker.cpp)
target_link_libraries(pink_dynlib_asker PRIVATE pink_platform pink_flags)
set_target_properties(pink_dynlib_asker PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${pink_fixture_out}/asker)

add_executable(pink_dynlib_probe ${pink_fixture_src}/probe.cpp)
target_link_libraries(pink_dynlib_probe PRIVATE pink_platform pink_flags)
set_target_properties(pink_dynlib_probe PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${pink_fixture_out}/near)

if(TARGET platform_tests)
  add_dependencies(platform_tests pink_dynlib_fixture_beside pink_dynlib_fixture_near
    pink_dynlib_fixture_far pink_dynlib_fixture_far_only pink_dynlib_probe
    pink_dynlib_fixture_asker pink_dynlib_asker)
endif()
