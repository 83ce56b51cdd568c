# Runs one fuzzer for SECONDS on a scratch copy of its committed corpus.
# A crash input lands in CRASHES as crash-<sha1> (leak-, timeout-, oom- alike).
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK} ${CRASHES})
file(GLOB seeds ${CORPUS}/*)
if(NOT seeds)
    message(FATAL_ERROR "no seed inputs in ${CORPUS}")
endif()
file(COPY ${seeds} DESTINATION ${WORK})

execute_process(
    COMMAND ${FUZZER} -max_total_time=${SECONDS} -timeout=10 -print_final_stats=1
            -artifact_prefix=${CRASHES}/ ${WORK}
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${FUZZER} failed (${result}); the input that did it is in ${CRASHES}")
endif()
