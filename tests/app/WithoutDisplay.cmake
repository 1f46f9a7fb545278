# quorvel started with an empty environment, as from a login without a
# desktop: --help and --version answer without a window, anything else says
# in one line what to do instead, and nothing aborts.
#   cmake -DPROGRAM=build/quorvel -DHOME_DIR=<empty folder> -P WithoutDisplay.cmake
function(expect argument expected_status expected_output)
  execute_process(COMMAND env -i HOME=${HOME_DIR} ${PROGRAM} ${argument}
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 20)
  if(NOT status STREQUAL expected_status)
    message(FATAL_ERROR "quorvel ${argument}: exit status ${status}, not ${expected_status}\n${out}${err}")
  endif()
  if(NOT "${out}${err}" MATCHES "${expected_output}")
    message(FATAL_ERROR "quorvel ${argument} printed:\n${out}${err}")
  endif()
endfunction()

expect(--help 0 "^Usage: quorvel .FILE.\n.*--version.*quorvel-cli --help\n$")
expect(--version 0 "^quorvel .The File Quorvel. [0-9.]+\n$")
expect("" 1 "^quorvel needs a desktop session, and there is no display. Start it as \"xvfb-run -a quorvel\", or use quorvel-cli on the command line.\n$")
expect(some-file 1 "^quorvel needs a desktop session[^\n]*\n$")
