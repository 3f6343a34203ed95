# Runs a fuzz target from its seed corpus for a bounded number of runs. What
# it finds goes into a scratch corpus, emptied first, so that the seeds in
# the source tree stay as they are and every test run starts the same.
#   cmake -DFUZZER=... -DSEEDS=... -DWORK=... -DRUNS=... [-DDICT=...] -P run_fuzzer.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
set(options -runs=${RUNS} -seed=1 -timeout=20 -print_final_stats=1 -artifact_prefix=${WORK}/)
if(DICT AND EXISTS ${DICT})
  list(APPEND options -dict=${DICT})
endif()
execute_process(COMMAND ${FUZZER} ${options} ${WORK} ${SEEDS} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${FUZZER} failed (${status}); the input that broke it is in ${WORK}")
endif()
