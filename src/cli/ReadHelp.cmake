# Sets `help` to the --help of PROGRAM with no settings file, so that what is
# written from it shows the defaults, never the builder's own settings.
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env OSTREL_SETTINGS_FILE=${OUTPUT}.absent-settings ${PROGRAM} --help
  OUTPUT_VARIABLE help RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --help failed: ${result}")
endif()
