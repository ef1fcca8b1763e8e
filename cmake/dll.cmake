# hrl_dll(NAME SOURCES src... DEF stem)
# A deliverable DLL named exactly NAME.dll (no "lib" prefix). Its exports
# come from stem.def on i686, where the decorated stdcall names the host
# binds are aliased to the compiler's symbols, or from stem64.def on the
# x86_64 test build, which has no decoration and maps the same names to the
# plain symbols.
function(hrl_dll name)
  cmake_parse_arguments(D "" "DEF" "SOURCES" ${ARGN})
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(def ${D_DEF}.def)
  else()
    set(def ${D_DEF}64.def)
  endif()
  add_library(${name} SHARED ${D_SOURCES} ${def})
  set_target_properties(${name} PROPERTIES PREFIX "" OUTPUT_NAME ${name})
endfunction()
