# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix).
# Qt's own toolchain file loads this one; test programs run under Wine where it is installed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_prefix x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_prefix}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_prefix}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_prefix}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${mingw_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The MinGW runtime that the programs and the Qt DLLs share, shipped beside them.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
  OUTPUT_VARIABLE mingw_libstdcxx OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(mingw_gcc_runtime ${mingw_libstdcxx} DIRECTORY)
set(SOCKVIEW_MINGW_RUNTIME ${mingw_libstdcxx} ${mingw_gcc_runtime}/libgcc_s_seh-1.dll
  /usr/${mingw_prefix}/lib/libwinpthread-1.dll)

find_program(SOCKVIEW_WINE wine)
if(SOCKVIEW_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${SOCKVIEW_WINE})
endif()
