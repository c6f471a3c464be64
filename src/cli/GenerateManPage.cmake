# Writes the manual page of ostrel-publish: its OPTIONS from the built
# program's own --help, so that the page lists exactly the options it accepts,
# with the words --help uses. Run as:
#   cmake -DPROGRAM=... -DTEMPLATE=... -DOUTPUT=... -P GenerateManPage.cmake
# The template holds the line ".\" OPTIONS FROM --help" where the options go.
include(${CMAKE_CURRENT_LIST_DIR}/ReadHelp.cmake)

# CMake lists split at ";", which the texts use too.
string(REPLACE ";" "<semicolon>" help "${help}")
string(REPLACE "\n" ";" lines "${help}")

set(options "")
set(inOption FALSE)
foreach(line IN LISTS lines)
  if(line MATCHES "^  (-[^ ].*)$")
    # "  -n, --dry-run        meaning": the names end at two spaces.
    string(REGEX REPLACE "^  " "" line "${line}")
    string(REGEX MATCH "^[^ ]+( [^ ]+)*" names "${line}")
    string(LENGTH "${names}" length)
    string(SUBSTRING "${line}" ${length} -1 meaning)
    string(STRIP "${meaning}" meaning)
    string(REPLACE "-" "\\-" names "${names}")
    string(REGEX REPLACE " ([A-Z][A-Z0-9:.]*)$" "\\\\fR \\\\fI\\1" names "${names}")
    string(APPEND options ".TP\n\\fB${names}\\fR\n")
    string(REPLACE "-" "\\-" meaning "${meaning}")
    if(NOT meaning STREQUAL "")
      string(APPEND options "\\&${meaning}\n")
    endif()
    set(inOption TRUE)
  elseif(inOption AND line MATCHES "^                              (.*)$")
    # A continued meaning; the value the settings file gives now is left out.
    set(continued "${CMAKE_MATCH_1}")
    string(REPLACE "-" "\\-" continued "${continued}")
    if(NOT continued MATCHES "^${now}")
      string(APPEND options "\\&${continued}\n")
    endif()
  else()
    set(inOption FALSE)
  endif()
endforeach()
string(REPLACE "<semicolon>" ";" options "${options}")

file(READ ${TEMPLATE} page)
string(REPLACE ".\\\" OPTIONS FROM --help\n" "${options}" page "${page}")
file(WRITE ${OUTPUT} "${page}")
