# COM in-process servers on Windows (platform/win32/com):
#
#   pink_com_server(msgcall DEF msgcall.def SOURCES exports.cpp LIBS pink_msgcall
#     COM_SOURCES com_server.cpp COM_LIBS pink_msgcall_object
#     HEADER msgcall/members.h CLASS pink::msgcall::kClass)
#
# Linux: the plain library of pink_shared_library. Windows: the same module
# with the COM entry points added to its exports (DllGetClassObject,
# DllCanUnloadNow, DllRegisterServer, DllUnregisterServer, DllInstall), linked
# with the COM layer, and with the class's type library in its resources
# (resource TYPELIB 1). The type library is compiled by widl from IDL that a
# small generator, built for the build machine, writes from the class's
# member table (automation/idl.h): the library says what the table says, and
# a table that cannot be said in IDL fails the build. CONTROL marks an ActiveX
# control class; SUFFIX gives the file's extension (".ocx").

if(PINK_OS STREQUAL "win32")
  enable_language(RC)
  find_program(PINK_HOST_CXX NAMES g++ c++ clang++ REQUIRED)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    find_program(PINK_WIDL NAMES x86_64-w64-mingw32-widl widl REQUIRED)
    set(PINK_WIDL_PLATFORM --win64)
  else()
    find_program(PINK_WIDL NAMES i686-w64-mingw32-widl widl REQUIRED)
    set(PINK_WIDL_PLATFORM --win32)
  endif()
  set(PINK_COM_IDL_DIR ${PROJECT_SOURCE_DIR}/platform/win32/com)
  set(PINK_COM_STDOLE_DIR ${CMAKE_BINARY_DIR}/com)
  set(PINK_COM_STDOLE ${PINK_COM_STDOLE_DIR}/stdole2.tlb)
  # The stand-in of the system's stdole2.tlb that the IDL compiler reads.
  add_custom_command(OUTPUT ${PINK_COM_STDOLE}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PINK_COM_STDOLE_DIR}
    COMMAND ${PINK_WIDL} -t ${PINK_WIDL_PLATFORM} -I ${PINK_COM_IDL_DIR} -o ${PINK_COM_STDOLE}
      ${PINK_COM_IDL_DIR}/stdole.idl
    DEPENDS ${PINK_COM_IDL_DIR}/stdole.idl ${PINK_COM_IDL_DIR}/pink_prelude.idl
    COMMENT "Building the IDL compiler's stand-in of stdole2.tlb")
  add_custom_target(pink_com_stdole DEPENDS ${PINK_COM_STDOLE})
endif()

# The type library of the class CLASS (a C++ expression naming its
# automation::ClassInfo, declared in HEADER) in the resources of TARGET.
function(pink_com_typelib target)
  cmake_parse_arguments(P "CONTROL" "HEADER;CLASS" "" ${ARGN})
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}_typelib)
  if(P_CONTROL)
    set(control true)
  else()
    set(control false)
  endif()
  # One translation unit: the class's table and the generator around it.
  file(CONFIGURE OUTPUT ${dir}/idlgen.cpp @ONLY CONTENT [[
// Made by pink_com_typelib: the IDL writer of one class.
#include "@P_HEADER@"
#include "automation/idl.cpp"
#include "automation/idlgen.cpp"

namespace pink::automation::idlgen {
const ClassInfo& the_class() { return @P_CLASS@; }
bool is_control() { return @control@; }
}  // namespace pink::automation::idlgen
]])
  set(gen ${dir}/idlgen${CMAKE_HOST_EXECUTABLE_SUFFIX})
  add_custom_command(OUTPUT ${gen}
    COMMAND ${PINK_HOST_CXX} -std=c++20 -O1 -Wall -Werror -I${PROJECT_SOURCE_DIR} -I${PROJECT_SOURCE_DIR}/include
      -MD -MF ${dir}/idlgen.d -o ${gen} ${dir}/idlgen.cpp
    DEPFILE ${dir}/idlgen.d
    DEPENDS ${dir}/idlgen.cpp
    COMMENT "Building the IDL writer of ${target}")
  add_custom_command(OUTPUT ${dir}/${target}.idl
    COMMAND ${gen} ${dir}/${target}.idl
    DEPENDS ${gen}
    COMMENT "Writing the IDL of ${target} from its member table")
  add_custom_command(OUTPUT ${dir}/${target}.tlb
    COMMAND ${PINK_WIDL} -t ${PINK_WIDL_PLATFORM} -I ${PINK_COM_IDL_DIR} -L ${PINK_COM_STDOLE_DIR}
      -o ${dir}/${target}.tlb ${dir}/${target}.idl
    DEPENDS ${dir}/${target}.idl ${PINK_COM_STDOLE} pink_com_stdole ${PINK_COM_IDL_DIR}/pink_prelude.idl
    COMMENT "Compiling the type library of ${target}")
  file(CONFIGURE OUTPUT ${dir}/typelib.rc CONTENT "1 TYPELIB \"${dir}/${target}.tlb\"\n")
  set_source_files_properties(${dir}/typelib.rc PROPERTIES OBJECT_DEPENDS ${dir}/${target}.tlb)
  target_sources(${target} PRIVATE ${dir}/typelib.rc)
endfunction()

function(pink_com_server name)
  cmake_parse_arguments(P "CONTROL" "DEF;HEADER;CLASS;SUFFIX" "SOURCES;COM_SOURCES;LIBS;COM_LIBS" ${ARGN})
  if(NOT PINK_OS STREQUAL "win32")
    pink_shared_library(${name} DEF ${P_DEF} SOURCES ${P_SOURCES} LIBS ${P_LIBS})
    return()
  endif()
  # The module's exports and the COM entry points, which callers find by
  # their plain names only.
  file(READ ${P_DEF} def_text)
  string(APPEND def_text
    "  DllGetClassObject=DllGetClassObject@12 PRIVATE\n"
    "  DllCanUnloadNow=DllCanUnloadNow@0 PRIVATE\n"
    "  DllRegisterServer=DllRegisterServer@0 PRIVATE\n"
    "  DllUnregisterServer=DllUnregisterServer@0 PRIVATE\n"
    "  DllInstall=DllInstall@8 PRIVATE\n")
  set(def ${CMAKE_CURRENT_BINARY_DIR}/${name}_com.def)
  file(CONFIGURE OUTPUT ${def} CONTENT "${def_text}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${P_DEF})
  pink_shared_library(${name} DEF ${def}
    SOURCES ${P_SOURCES} ${P_COM_SOURCES} ${PROJECT_SOURCE_DIR}/platform/win32/com/entry/module_entry.cpp
    LIBS ${P_LIBS} ${P_COM_LIBS} pink_com)
  if(P_SUFFIX)
    set_target_properties(${name} PROPERTIES SUFFIX ${P_SUFFIX})
  endif()
  if(P_CONTROL)
    pink_com_typelib(${name} HEADER ${P_HEADER} CLASS ${P_CLASS} CONTROL)
  else()
    pink_com_typelib(${name} HEADER ${P_HEADER} CLASS ${P_CLASS})
  endif()
endfunction()
