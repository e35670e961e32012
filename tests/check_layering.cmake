# Preprocesses an include of each header against one target's include path
# (INCLUDES, separated by |): the headers in SEEN must be found, those in
# HIDDEN must not.
#   cmake -DCXX=... -DINCLUDES=... -DSEEN=... -DHIDDEN=... -DWORK=dir -P check_layering.cmake
string(REPLACE "|" ";" dirs "${INCLUDES}")
list(TRANSFORM dirs PREPEND "-I")
string(REPLACE "|" ";" seen "${SEEN}")
string(REPLACE "|" ";" hidden "${HIDDEN}")
file(MAKE_DIRECTORY "${WORK}")
set(failures "")
foreach(header IN LISTS seen hidden)
  file(WRITE "${WORK}/probe.cpp" "#include \"${header}\"\n")
  execute_process(COMMAND ${CXX} -std=c++20 -E ${dirs} "${WORK}/probe.cpp"
                  RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
  list(FIND seen "${header}" wanted)
  if(wanted GREATER -1 AND NOT status EQUAL 0)
    string(APPEND failures "  ${header}: not found, but it should be\n")
  elseif(wanted EQUAL -1 AND status EQUAL 0)
    string(APPEND failures "  ${header}: found, but it must not be\n")
  endif()
endforeach()
if(failures)
  message(FATAL_ERROR "Include path ${INCLUDES}:\n${failures}")
endif()
