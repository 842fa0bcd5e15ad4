# Shared build rules of the suite.

add_library(pink_flags INTERFACE)
target_compile_options(pink_flags INTERFACE -Wall -Wextra -Wpedantic -Werror
  -Wno-missing-field-initializers)
target_include_directories(pink_flags INTERFACE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/include)

if(PINK_OS STREQUAL "win32")
  # The terminals have no runtime installed: link the C, C++ and thread
  # runtimes statically so every .exe and .dll stands alone.
  target_compile_definitions(pink_flags INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX
    _WIN32_WINNT=0x0601 WINVER=0x0601 UNICODE _UNICODE)
  target_link_options(pink_flags INTERFACE -static -static-libgcc -static-libstdc++)
else()
  # Only the names a library exports on purpose are visible.
  target_compile_options(pink_flags INTERFACE -fvisibility=hidden -fvisibility-inlines-hidden)
  if(PINK_SANITIZE)
    target_compile_options(pink_flags INTERFACE -fsanitize=address,undefined
      -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(pink_flags INTERFACE -fsanitize=address,undefined)
  endif()
  if(PINK_FUZZ AND PINK_FUZZ_COVERAGE)
    # The fuzz targets' coverage build: source-based coverage of every
    # library they link, no sanitizers (llvm-cov reads the profile).
    target_compile_options(pink_flags INTERFACE -fsanitize=fuzzer-no-link
      -fprofile-instr-generate -fcoverage-mapping)
    target_link_options(pink_flags INTERFACE -fprofile-instr-generate)
  elseif(PINK_FUZZ)
    # Every library the fuzz targets link carries the fuzzer's edge
    # counters and the sanitizers; fuzz/ links libFuzzer itself.
    target_compile_options(pink_flags INTERFACE -fsanitize=fuzzer-no-link,address,undefined
      -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(pink_flags INTERFACE -fsanitize=address,undefined)
  endif()
endif()

# pink_program(NAME SOURCES... [LIBS libs...]) - a program of the suite.
# On Windows the programs are windowed (no console) unless CONSOLE is given.
function(pink_program name)
  cmake_parse_arguments(P "CONSOLE" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${P_SOURCES} ${P_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE pink_flags ${P_LIBS})
  if(PINK_OS STREQUAL "win32" AND NOT P_CONSOLE)
    set_target_properties(${name} PROPERTIES WIN32_EXECUTABLE ON)
  elseif(NOT PINK_OS STREQUAL "win32" AND NOT PINK_SANITIZE)
    # The one-job programs start for every receipt: binding the shared C++
    # runtime's symbols was a third of their processor time. They carry it
    # inside, as on Windows; the libraries they load keep the shared one and
    # meet them only through C calls.
    target_link_options(${name} PRIVATE -static-libstdc++ -static-libgcc)
  endif()
endfunction()

# pink_shared_library(NAME DEF file.def SOURCES... [LIBS libs...])
# Linux: lib<NAME>.so with only the exported names visible.
# Windows: <NAME>.dll whose export table is exactly what the .def file lists.
function(pink_shared_library name)
  cmake_parse_arguments(P "" "DEF" "SOURCES;LIBS" ${ARGN})
  set(srcs ${P_SOURCES} ${P_UNPARSED_ARGUMENTS})
  if(PINK_OS STREQUAL "win32" AND P_DEF)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
      # 64-bit Windows has one calling convention and no decorated symbols:
      # the same export names (the decorated ones too, which callers bind
      # to) all point at the plain functions.
      file(READ ${P_DEF} def_text)
      string(REGEX REPLACE "=([A-Za-z_][A-Za-z0-9_]*)@[0-9]+" "=\\1" def_text "${def_text}")
      set(def64 ${CMAKE_CURRENT_BINARY_DIR}/${name}.def)
      file(WRITE ${def64} "${def_text}")
      set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${P_DEF})
      list(APPEND srcs ${def64})
    else()
      list(APPEND srcs ${P_DEF})
    endif()
  endif()
  add_library(${name} SHARED ${srcs})
  target_link_libraries(${name} PRIVATE pink_flags ${P_LIBS})
  if(PINK_OS STREQUAL "win32")
    # No "lib" prefix: callers load "<name>.dll".
    set_target_properties(${name} PROPERTIES PREFIX "" IMPORT_PREFIX "")
    target_link_options(${name} PRIVATE -Wl,--enable-stdcall-fixup)
  else()
    target_link_options(${name} PRIVATE -Wl,--no-undefined)
    if(P_DEF)
      # The .so exports exactly the names the .def file gives the DLL (the
      # plain ones; decorated names exist only on Windows), so that no C++
      # template or runtime symbol leaks into the library's interface.
      file(STRINGS ${P_DEF} def_lines)
      set(globals "")
      foreach(line IN LISTS def_lines)
        if(line MATCHES "^[ \t]+([A-Za-z_][A-Za-z0-9_]*)([ \t=]|$)")
          string(APPEND globals "    ${CMAKE_MATCH_1};\n")
        endif()
      endforeach()
      set(map ${CMAKE_CURRENT_BINARY_DIR}/${name}.map)
      file(WRITE ${map} "{\n  global:\n${globals}  local: *;\n};\n")
      target_link_options(${name} PRIVATE -Wl,--version-script=${map})
      set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${map})
    endif()
  endif()
endfunction()
