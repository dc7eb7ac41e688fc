# The trace log's needs of the DLL target (win32):
#  - the trace installer (src/boundary/FullTraceInit.cpp, a source of the DLL beside its entry point),
#    which brings the throw hook (src/lib/JclHookThrow.cpp) out of the trace library,
#  - every throw of the DLL's code routed through the hook (--wrap=__cxa_throw),
#  - after the link, the DWARF turned into the section JCLDEBUG, then the DWARF and the COFF symbol
#    table stripped (cmake/jcldebug.py),
#    and a copy without that section in <build>/nodebug/ for tests of a DLL without debug data.
# Elsewhere it does nothing: the native library carries no trace log.
#
# usage: dct_add_jcldebug(<target>)
find_package(Python3 COMPONENTS Interpreter)

function(dct_add_jcldebug target)
  if(NOT WIN32)
    return()
  endif()
  if(NOT Python3_Interpreter_FOUND)
    message(FATAL_ERROR "python3 is needed to move the debug data of ${target} into its JCLDEBUG section")
  endif()
  target_link_options(${target} PRIVATE -Wl,--wrap=__cxa_throw)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/cmake/jcldebug.py
            --dll $<TARGET_FILE:${target}>
            --tool-prefix i686-w64-mingw32-
            --no-debug-copy ${CMAKE_BINARY_DIR}/nodebug/$<TARGET_FILE_NAME:${target}>
    VERBATIM)
endfunction()
