# Cross build for 64-bit Windows with Debian's mingw-w64 (posix threads, so
# that std::thread and std::mutex work), linked statically so that the .exe
# files run anywhere, Wine included, without the compiler's DLLs beside them.
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUORVEL_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUORVEL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUORVEL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QUORVEL_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUORVEL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under Wine, in a prefix of their own inside the build
# folder; gtest_discover_tests and add_test use this too.
# Wine's server is the one that belongs to that Wine: in its folder, or in
# the folder of the program a link named wine64 leads to.
find_program(QUORVEL_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(QUORVEL_WINE64)
  get_filename_component(quorvel_wine_folder "${QUORVEL_WINE64}" DIRECTORY)
  file(REAL_PATH "${QUORVEL_WINE64}" quorvel_wine_real)
  get_filename_component(quorvel_wine_real_folder "${quorvel_wine_real}" DIRECTORY)
  find_program(QUORVEL_WINESERVER NAMES wineserver64 wineserver
               PATHS "${quorvel_wine_folder}" "${quorvel_wine_real_folder}" NO_DEFAULT_PATH)
endif()
if(QUORVEL_WINE64 AND QUORVEL_WINESERVER)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      sh ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${CMAKE_BINARY_DIR}/wine-prefix ${QUORVEL_WINE64} ${QUORVEL_WINESERVER})
endif()
