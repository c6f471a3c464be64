# Sets `help` to the --help of PROGRAM with no settings file, so that what is
# written from it shows the defaults, never the builder's own settings; in
# English whatever the builder's locale, or in HELP_LANGUAGE from the
# catalogues under LOCALE_DIR (C.UTF-8 is there on every machine, unlike the
# language's own locales). `now` is the label of the current values.
if(HELP_LANGUAGE)
  set(language LC_ALL=C.UTF-8 LANGUAGE=${HELP_LANGUAGE} OSTREL_LOCALEDIR=${LOCALE_DIR} TEXTDOMAINDIR=${LOCALE_DIR})
else()
  set(language LC_ALL=C)
endif()
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env OSTREL_SETTINGS_FILE=${OUTPUT}.absent-settings ${language} ${PROGRAM} --help
  OUTPUT_VARIABLE help RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --help failed: ${result}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E env ${language} gettext -d ostrel "now: " OUTPUT_VARIABLE now)
