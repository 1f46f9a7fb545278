# The DLLs a Windows program with the window needs beside it, laid out as
# Qt's own deployment tool lays them out: Qt's libraries and the compiler's
# runtime next to the .exe, each plugin in a folder named after its kind
# (Qt looks for plugins in the program's folder first).
#   quorvel_windows_runtime  puts them into the build folder, where the
#                            programs and the test programs are made
#   install                  puts them beside the installed programs

set(quorvel_qt_dlls Qt6::Core Qt6::Gui Qt6::Widgets)
# kind/target; the style plugin gives the window the native look.
set(quorvel_qt_plugins platforms/Qt6::QWindowsIntegrationPlugin platforms/Qt6::QOffscreenIntegrationPlugin
    platforms/Qt6::QMinimalIntegrationPlugin styles/Qt6::QWindowsVistaStylePlugin)

# The compiler's runtime, as the compiler finds it.
set(quorvel_runtime_dlls)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
    message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not know where ${dll} is; Qt's DLLs need it")
  endif()
  file(REAL_PATH "${path}" path)
  list(APPEND quorvel_runtime_dlls "${path}")
endforeach()

set(copies)
foreach(target ${quorvel_qt_dlls} Qt6::Test)
  if(TARGET ${target})
    list(APPEND copies COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${target}> ${CMAKE_BINARY_DIR})
  endif()
endforeach()
foreach(dll ${quorvel_runtime_dlls})
  list(APPEND copies COMMAND ${CMAKE_COMMAND} -E copy_if_different ${dll} ${CMAKE_BINARY_DIR})
endforeach()
foreach(plugin ${quorvel_qt_plugins})
  string(REGEX REPLACE "/.*" "" kind ${plugin})
  string(REGEX REPLACE ".*/" "" target ${plugin})
  if(NOT TARGET ${target})
    if(kind STREQUAL platforms)
      message(FATAL_ERROR "The Qt in ${QUORVEL_WINDOWS_QT} lacks ${target}: the window cannot start without it")
    endif()
    continue()  # the look only
  endif()
  list(APPEND copies COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/${kind}
                     COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${target}> ${CMAKE_BINARY_DIR}/${kind})
  install(FILES $<TARGET_FILE:${target}> DESTINATION bin/${kind})
endforeach()
add_custom_target(quorvel_windows_runtime ${copies} COMMENT "Putting Qt's and the compiler's DLLs beside the programs")

foreach(target ${quorvel_qt_dlls})
  install(FILES $<TARGET_FILE:${target}> DESTINATION bin)
endforeach()
install(FILES ${quorvel_runtime_dlls} DESTINATION bin)
