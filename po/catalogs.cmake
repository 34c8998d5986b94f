cmake_minimum_required(VERSION 3.25)
# Takes the template from the sources and holds the catalogs against it.
#   MODE=update  writes po/ezgitar.pot and brings each po/<language>.po up to it
#   MODE=check   fails when po/ezgitar.pot is not what the sources make, when
#                a catalog lacks a translation or holds a fuzzy one, when a
#                source in cli/ marks a sentence and is not in the list, or
#                when a sentence in cli/ is not marked
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

# A sentence printed without its mark is never translated, and no catalog
# check sees it: every string in cli/'s C++ that reads as words (two words
# of small letters in a row) is marked, but for a command line. Each form of
# a plural is a sentence of its own here, as every string is to --extract-all.
file(GLOB cli_cpp RELATIVE "${SOURCE}" "${SOURCE}/cli/*.cpp" "${SOURCE}/cli/*.h")
# Empty strings draw a warning from xgettext each; a failure shows below.
set(scan --language=C++ --from-code=UTF-8 --no-location WORKING_DIRECTORY "${SOURCE}" ERROR_VARIABLE noise)
execute_process(COMMAND ${XGETTEXT} --keyword=tr --keyword=trf --keyword=trn:1 --keyword=trnf:1 --keyword=N_
                        -o "${WORK}/marked.pot" ${cli_cpp} ${scan})
execute_process(COMMAND ${XGETTEXT} --keyword=trn:2 --keyword=trnf:2 --join-existing -o "${WORK}/marked.pot"
                        ${cli_cpp} ${scan})
execute_process(COMMAND ${XGETTEXT} --extract-all -o "${WORK}/all.pot" ${cli_cpp} ${scan})
execute_process(COMMAND ${MSGGREP} --msgid -E -e "[a-z]{2,} [a-z]{2,}" "${WORK}/all.pot"
                COMMAND ${MSGGREP} --invert-match --msgid -E -e "^ezgitar-cli [a-z]+ --help$" -o "${WORK}/words.pot"
                RESULT_VARIABLE rc)
execute_process(COMMAND ${MSGCMP} --use-untranslated "${WORK}/marked.pot" "${WORK}/words.pot"
                RESULT_VARIABLE rc ERROR_VARIABLE said)
if(NOT rc EQUAL 0)
  # msgcmp names each by the line of its msgstr in words.pot: the sentence
  # is on the lines before it, from its msgid on.
  string(APPEND failures "sentences in cli/ without their mark (tr, trf, trn, trnf, N_):\n")
  file(READ "${WORK}/words.pot" text)
  string(REPLACE ";" "," text "${text}")
  string(REPLACE "\n" ";" lines "${text}")
  string(REGEX MATCHALL "words\\.pot:[0-9]+: this message is used but not defined" unmarked "${said}")
  foreach(at ${unmarked})
    string(REGEX REPLACE "words\\.pot:([0-9]+):.*" "\\1" n "${at}")
    math(EXPR i "${n} - 2")
    set(sentence "")
    while(i GREATER_EQUAL 0)
      list(GET lines ${i} line)
      set(sentence "${line} ${sentence}")
      if(line MATCHES "^msgid ")
        break()
      endif()
      math(EXPR i "${i} - 1")
    endwhile()
    string(APPEND failures "  ${sentence}\n")
  endforeach()
  if(NOT unmarked)
    string(APPEND failures "${said}")
  endif()
endif()

if(failures)
  message(FATAL_ERROR "${failures}")
endif()
message(STATUS "the catalogs hold every sentence of the sources")
