# Runs the fuzzer RUNS times from a fresh copy of SEEDS in WORK, with a fixed
# seed so that a failure repeats. Crash inputs are written to WORK.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/corpus)
file(GLOB seeds ${SEEDS}/*)
file(COPY ${seeds} DESTINATION ${WORK}/corpus)
execute_process(
  COMMAND ${FUZZER} -runs=${RUNS} -seed=1 -max_len=512 -timeout=20
    -artifact_prefix=${WORK}/ ${WORK}/corpus
  WORKING_DIRECTORY ${WORK}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "velk_fuzz failed (${result}); the input is in ${WORK}")
endif()
