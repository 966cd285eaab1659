# Runs the driver in a surrounding that fails it and checks how the run ends.
#   DRIVER  the driver executable
#   TREE    the working copy, the directory a run locks
#   MODE    closed-pipe, full-output, closed-output: standard output is a pipe
#           whose reader has gone, /dev/full, or closed; locked-tree: another
#           process holds the case tree's lock
if(MODE STREQUAL "closed-pipe")
  set(line "{ \"$0\"; echo \"exit $?\" >&2; } | true")
  set(expected "Exception  Could not write to standard output: Broken pipe\nexit 1\n$")
elseif(MODE STREQUAL "full-output")
  set(line "\"$0\" >/dev/full; echo \"exit $?\" >&2")
  set(expected "Exception  Could not write to standard output: No space left on device\nexit 1\n$")
elseif(MODE STREQUAL "closed-output")
  set(line "\"$0\" >&-; echo \"exit $?\" >&2")
  set(expected "Exception  Could not write to standard output: Bad file descriptor\nexit 1\n$")
elseif(MODE STREQUAL "locked-tree")
  # flock(1) would make a plain file of a missing path.
  file(MAKE_DIRECTORY "${TREE}")
  set(line "flock \"$1\" \"$0\"; echo \"exit $?\"")
  set(expected "^Exception  The case tree ${TREE} is in use by another run; try again when it has ended\nexit 1\n$")
else()
  message(FATAL_ERROR "unknown MODE '${MODE}'")
endif()
execute_process(COMMAND sh -c "${line}" ${DRIVER} ${TREE} OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(MODE STREQUAL "locked-tree")
  set(checked "${output}")
else()
  set(checked "${errors}")
endif()
message("standard output:\n${output}\nstandard error:\n${errors}")
if(NOT checked MATCHES "${expected}")
  message(FATAL_ERROR "the run does not end as '${expected}'")
endif()
