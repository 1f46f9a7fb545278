# The DLLs a Windows program with the window needs beside it, laid out as
# Qt's own deployment tool lays them out: Qt's libraries and the compiler's
# runtime next to the .exe, each plugin in a folder named after its kind
# (Qt looks for plugins in the program's folder first).
#   quorvel_windows_runtime  puts them into the build folder, where the
#                            programs and the test programs are made
#   install                  puts them beside the installed programs (the
#                            zip's folder), without the plugins that only
#                            the tests use

set(quorvel_qt_dlls Qt6::Core Qt6::Gui Qt6::Widgets)
# kind/target; the style plugin gives the window the native look, the icon
# reader lets the icon file's test read data/quorvel.ico.
set(quorvel_qt_plugins platforms/Qt6::QWindowsIntegrationPlugin platforms/Qt6::QOffscreenIntegrationPlugin
    platforms/Qt6::QMinimalIntegrationPlugin styles/Qt6::QWindowsVistaStylePlugin imageformats/Qt6::QICOPlugin)
# The window on a Windows desktop needs only these; the others are for tests.
set(quorvel_installed_plugins Qt6::QWindowsIntegrationPlugin Qt6::QWindowsVistaStylePlugin)

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
    continue()  # the look or a test only
  endif()
  list(APPEND copies COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/${kind}
                     COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${target}> ${CMAKE_BINARY_DIR}/${kind})
  if(target IN_LIST quorvel_installed_plugins)
    install(FILES $<TARGET_FILE:${target}> DESTINATION ${kind})
    list(APPEND quorvel_installed_dlls ${kind}/$<TARGET_FILE_NAME:${target}>)
  endif()
endforeach()
add_custom_target(quorvel_windows_runtime ${copies} COMMENT "Putting Qt's and the compiler's DLLs beside the programs")

foreach(target ${quorvel_qt_dlls})
  install(FILES $<TARGET_FILE:${target}> DESTINATION .)
  list(APPEND quorvel_installed_dlls $<TARGET_FILE_NAME:${target}>)
endforeach()
install(FILES ${quorvel_runtime_dlls} DESTINATION .)
foreach(dll ${quorvel_runtime_dlls})
  get_filename_component(name ${dll} NAME)
  list(APPEND quorvel_installed_dlls ${name})
endforeach()
# A stripped install (cpack strips) drops the DLLs' debug information too, a
# good half of their size; the programs are stripped by install(TARGETS).
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(dll ${quorvel_installed_dlls})
      execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-debug \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${dll}\"
                      RESULT_VARIABLE status)
      if(NOT status EQUAL 0)
        message(FATAL_ERROR \"cannot strip \${dll}\")
      endif()
    endforeach()
  endif()")
