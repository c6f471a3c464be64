# Writes the bash completion of ostrel-publish from its own --help, so that it
# offers exactly the options the program accepts: those of the settings table
# and the others. Run as: cmake -DPROGRAM=... -DOUTPUT=... -P GenerateCompletion.cmake
include(${CMAKE_CURRENT_LIST_DIR}/ReadHelp.cmake)

set(words "")
set(directories "")
set(paths "")
set(others "")
string(REGEX MATCHALL "\n  -[^\n]*" lines "${help}")
foreach(line IN LISTS lines)
  # The options end where the description begins, at two spaces.
  string(REGEX REPLACE "^\n  " "" line "${line}")
  string(REGEX REPLACE "  .*" "" line "${line}")
  string(REGEX MATCHALL "--?[a-zA-Z][a-z-]*( [A-Z]+)?" options "${line}")
  foreach(option IN LISTS options)
    string(REPLACE " " ";" parts "${option}")
    list(GET parts 0 name)
    list(APPEND words ${name})
    list(LENGTH parts count)
    if(count EQUAL 2)
      list(GET parts 1 value)
      if(value STREQUAL "DIR")
        list(APPEND directories ${name})
      elseif(value STREQUAL "PATH" OR value STREQUAL "FILE")
        list(APPEND paths ${name})
      else()
        list(APPEND others ${name})
      endif()
    endif()
  endforeach()
endforeach()
list(JOIN words " " words)
list(JOIN directories "|" directories)
list(JOIN paths "|" paths)
list(JOIN others "|" others)

file(WRITE ${OUTPUT} "# bash completion for ostrel-publish, written from its --help when it was built.
_ostrel_publish() {
  local cur=\${COMP_WORDS[COMP_CWORD]} prev=\${COMP_WORDS[COMP_CWORD-1]}
  case \$prev in
    ${directories}) COMPREPLY=(\$(compgen -d -- \"\$cur\")); return ;;
    ${paths}) COMPREPLY=(\$(compgen -f -- \"\$cur\")); return ;;
    ${others}) COMPREPLY=(); return ;;
  esac
  COMPREPLY=(\$(compgen -W \"${words}\" -- \"\$cur\"))
}
complete -o filenames -F _ostrel_publish ostrel-publish
")
