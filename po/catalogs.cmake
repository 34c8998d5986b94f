cmake_minimum_required(VERSION 3.25)
# Takes the template from the sources and holds the catalogs against it.
#   MODE=update  writes po/ezgitar.pot and brings each po/<language>.po up to it
#   MODE=check   fails when po/ezgitar.pot is not what the sources make, when
#                a catalog lacks a translation or holds a fuzzy one, or when a
#                source in cli/ marks a sentence and is not in the list
# SOURCE is the repository, SOURCES the listed files, WORK a folder to use.
string(REPLACE "|" ";" SOURCES "${SOURCES}")
string(REPLACE "|" ";" LANGUAGES "${LANGUAGES}")
set(cpp "")
set(sh "")
foreach(f ${SOURCES})
  if(f MATCHES "\\.sh$")
    list(APPEND sh ${f})
  else()
    list(APPEND cpp ${f})
  endif()
endforeach()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
set(pot "${WORK}/ezgitar.pot")
# The sentences are fmt's "{}" formats, never printf's.
set(marks --keyword=tr --keyword=trf --keyword=trn:1,2 --keyword=trnf:1,2 --keyword=N_)
set(common --from-code=UTF-8 --add-comments=TRANSLATORS: --no-location --sort-output --package-name=Ezgitar
    --package-version=${VERSION} --msgid-bugs-address= -o ${pot})
# xgettext asks for an address for bug reports each time: said only with
# a failure.
execute_process(COMMAND ${XGETTEXT} --language=C++ ${marks} ${common} ${cpp}
                WORKING_DIRECTORY "${SOURCE}" RESULT_VARIABLE rc ERROR_VARIABLE said)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "xgettext failed over the C++ sources:\n${said}")
endif()
execute_process(COMMAND ${XGETTEXT} --language=Shell --join-existing ${common} ${sh}
                WORKING_DIRECTORY "${SOURCE}" RESULT_VARIABLE rc ERROR_VARIABLE said)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "xgettext failed over the scripts:\n${said}")
endif()

if(MODE STREQUAL "update")
  file(COPY_FILE "${pot}" "${SOURCE}/po/ezgitar.pot")
  foreach(language ${LANGUAGES})
    execute_process(COMMAND ${MSGMERGE} --quiet --update --backup=none --no-location --sort-output
                            "${SOURCE}/po/${language}.po" "${SOURCE}/po/ezgitar.pot" RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "msgmerge failed for ${language}.po")
    endif()
  endforeach()
  return()
endif()

set(failures "")

# The template in the repository, but for the moment it was made.
foreach(which fresh kept)
  if(which STREQUAL "fresh")
    file(READ "${pot}" text)
  else()
    file(READ "${SOURCE}/po/ezgitar.pot" text)
  endif()
  string(REGEX REPLACE "\"POT-Creation-Date: [^\"]*\"\n" "" ${which} "${text}")
endforeach()
if(NOT fresh STREQUAL kept)
  string(APPEND failures "po/ezgitar.pot is not what the sources make: run 'cmake --build build --target pot'\n")
endif()

foreach(language ${LANGUAGES})
  set(po "${SOURCE}/po/${language}.po")
  # Untranslated and fuzzy entries count as missing.
  execute_process(COMMAND ${MSGCMP} "${po}" "${pot}" RESULT_VARIABLE rc ERROR_VARIABLE said)
  if(NOT rc EQUAL 0)
    string(APPEND failures "po/${language}.po lacks translations of the sources' sentences:\n${said}")
  endif()
  execute_process(COMMAND ${MSGFMT} --check --statistics -o /dev/null "${po}" RESULT_VARIABLE rc ERROR_VARIABLE said)
  if(NOT rc EQUAL 0 OR NOT said MATCHES "^[0-9]+ translated messages?\\.\n$")
    string(APPEND failures "msgfmt --check --statistics po/${language}.po: ${said}")
  endif()
endforeach()

# A source that marks a sentence and is missing from the list would have
# its sentences left out of the template unseen. The translation calls'
# own files define them.
file(GLOB cli_files RELATIVE "${SOURCE}" "${SOURCE}/cli/*.cpp" "${SOURCE}/cli/*.h" "${SOURCE}/cli/*.sh")
list(REMOVE_ITEM cli_files cli/language.h cli/language.cpp cli/language-posix.cpp cli/language-win32.cpp)
foreach(f ${cli_files})
  if(f IN_LIST SOURCES)
    continue()
  endif()
  file(READ "${SOURCE}/${f}" text)
  if(text MATCHES "(^|[^A-Za-z0-9_:.>])(tr|trf|trn|trnf|N_)\\(" OR text MATCHES "(^|[ \t(])gettext \"")
    string(APPEND failures "${f} marks sentences but is not in po/CMakeLists.txt's list\n")
  endif()
endforeach()

if(failures)
  message(FATAL_ERROR "${failures}")
endif()
message(STATUS "the catalogs hold every sentence of the sources")
