# Cross build for 64-bit Windows with Debian's mingw-w64 (posix threads, so
# that std::thread and std::mutex work), linked statically so that the .exe
# files run anywhere, Wine included, without the compiler's DLLs beside them.
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# The window as well (its Qt DLLs are put beside the programs):
#   cmake -S . -B build-windows-qt -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#         -DQUORVEL_WINDOWS_QT=$(scripts/qt-for-windows.sh | tail -1)
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

# With the window, QUORVEL_WINDOWS_QT names a Qt built for mingw (by
# scripts/qt-for-windows.sh); its moc, rcc and uic are the host's. Qt's DLLs
# use the compiler's runtime DLLs, and so do the programs then: one C++
# runtime in the process. Without the window everything stays static.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUORVEL_WINDOWS_QT)
if(QUORVEL_WINDOWS_QT)
  list(APPEND CMAKE_FIND_ROOT_PATH ${QUORVEL_WINDOWS_QT})
  set(QT_HOST_PATH /usr CACHE PATH "Where the host's Qt tools are")
  set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "The host Qt's CMake packages")
else()
  set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
endif()

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
