# Installs the build twice into a fresh folder: the first install lays out
# the program folder with an empty run log, the second keeps the log as the
# user's runs left it.
set(prefix "${BUILD}/install-layout-test")
file(REMOVE_RECURSE "${prefix}")
macro(install_once)
  execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${prefix}"
                  RESULT_VARIABLE rc OUTPUT_QUIET)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "install failed: ${rc}")
  endif()
endmacro()

install_once()
foreach(f ezgitar ezgitar-cli ezgitar-cli.1 ezgitar.png ezgitar.desktop pars.bin locale/tr/LC_MESSAGES/ezgitar.mo
          man/tr/man1/ezgitar-cli.1)
  if(NOT EXISTS "${prefix}/${f}")
    message(FATAL_ERROR "missing after install: ${f}")
  endif()
endforeach()
file(SIZE "${prefix}/pars.bin" size)
if(NOT size EQUAL 0)
  message(FATAL_ERROR "a new run log must be empty, not ${size} bytes")
endif()
file(READ "${prefix}/ezgitar.desktop" desktop)
if(NOT desktop MATCHES "Exec=\"${prefix}/ezgitar\"" OR NOT desktop MATCHES "Path=${prefix}\n")
  message(FATAL_ERROR "the launcher does not start the program in its folder:\n${desktop}")
endif()

file(WRITE "${prefix}/pars.bin" "twenty bytes of log.")
install_once()
file(READ "${prefix}/pars.bin" log)
if(NOT log STREQUAL "twenty bytes of log.")
  message(FATAL_ERROR "install touched an existing run log")
endif()

# A program folder moved elsewhere still speaks Turkish: its catalog lies
# beside it, wherever it is.
set(moved "${BUILD}/install-layout-test-taşındı")
file(REMOVE_RECURSE "${moved}")
file(RENAME "${prefix}" "${moved}")
execute_process(COMMAND ${CMAKE_COMMAND} -E env LANGUAGE= LC_ALL=tr_TR.UTF-8 "${moved}/ezgitar-cli" test yok.mid
                WORKING_DIRECTORY "${moved}" RESULT_VARIABLE rc ERROR_VARIABLE said)
file(REMOVE_RECURSE "${moved}")
if(NOT rc EQUAL 2 OR NOT said STREQUAL "ezgitar-cli: yok.mid: böyle bir dosya yok\n")
  message(FATAL_ERROR "the moved program does not speak Turkish: ${rc}: ${said}")
endif()
