# Formats one manual page with every groff warning on; any warning fails.
execute_process(
  COMMAND ${GROFF} -k -man -ww -z -Tutf8 ${PAGE}
  RESULT_VARIABLE status
  ERROR_VARIABLE warnings)
if(NOT status EQUAL 0 OR NOT warnings STREQUAL "")
  message(FATAL_ERROR "${PAGE}: groff reports:\n${warnings}")
endif()
