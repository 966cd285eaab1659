# Runs the driver and checks its output and exit code.
#   DRIVER         the driver executable
#   EXPECT_OUTPUT  a regular expression its standard output must match
#   EXPECT_EXIT    "0" or "nonzero"
execute_process(COMMAND ${DRIVER} RESULT_VARIABLE exit_code OUTPUT_VARIABLE output ERROR_VARIABLE errors)
message("${output}${errors}")
if(NOT output MATCHES "${EXPECT_OUTPUT}")
  message(FATAL_ERROR "driver output does not match '${EXPECT_OUTPUT}'")
endif()
if(EXPECT_EXIT STREQUAL "0" AND NOT exit_code STREQUAL "0")
  message(FATAL_ERROR "driver exited with ${exit_code}, expected 0")
elseif(EXPECT_EXIT STREQUAL "nonzero" AND (exit_code STREQUAL "0" OR NOT exit_code MATCHES "^[0-9]+$"))
  # A crash shows as a text such as "Segmentation fault", not as an exit code.
  message(FATAL_ERROR "driver exited with '${exit_code}', expected a non-zero exit code")
endif()
