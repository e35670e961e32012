# Preprocesses an include of each header against each library target's
# include path: the headers a target must see must be found, those it must
# not see must not. CHECKS is a file of lines
#   check(<target> "<include dirs, separated by |>" "<seen|...>" "<hidden|...>")
#   cmake -DCXX=... -DCHECKS=file -DWORK=dir -P check_layering.cmake
file(MAKE_DIRECTORY "${WORK}")
set(failures "")
function(check target includes seen hidden)
  string(REPLACE "|" ";" dirs "${includes}")
  list(TRANSFORM dirs PREPEND "-I")
  string(REPLACE "|" ";" seen "${seen}")
  string(REPLACE "|" ";" hidden "${hidden}")
  foreach(header IN LISTS seen hidden)
    file(WRITE "${WORK}/probe.cpp" "#include \"${header}\"\n")
    execute_process(COMMAND ${CXX} -std=c++20 -E ${dirs} "${WORK}/probe.cpp"
                    RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
    list(FIND seen "${header}" wanted)
    if(wanted GREATER -1 AND NOT status EQUAL 0)
      string(APPEND failures "  ${target}: ${header} not found, but it should be\n")
    elseif(wanted EQUAL -1 AND status EQUAL 0)
      string(APPEND failures "  ${target}: ${header} found, but it must not be\n")
    endif()
  endforeach()
  set(failures "${failures}" PARENT_SCOPE)
endfunction()
include("${CHECKS}")
if(failures)
  message(FATAL_ERROR "Layering:\n${failures}")
endif()
