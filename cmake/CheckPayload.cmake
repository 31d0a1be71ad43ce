# tovara_check_payload(KIND VAR): when the cache variable VAR names a file to carry, checks it
# at configure time with payload/check_payload.py (the check scripts/release.sh makes before it
# builds anything); a bad file stops the configure step with the checker's one-line reason.
# KIND is plugin, console, card or core.
function(tovara_check_payload kind var)
  if(NOT ${var})
    return()
  endif()
  execute_process(
    COMMAND ${TOVARA_PYTHON} ${CMAKE_SOURCE_DIR}/payload/check_payload.py --name ${var} ${kind} ${${var}}
    RESULT_VARIABLE rc OUTPUT_VARIABLE facts ERROR_VARIABLE reason
    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_STRIP_TRAILING_WHITESPACE)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR " ${reason}")  # leading space: printed as one line, not wrapped
  endif()
  message(STATUS "${var}: ${facts}")
  # A file replaced under the same name is checked again.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${${var}})
endfunction()
