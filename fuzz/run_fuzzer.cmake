# One bounded fuzzing run (cmake -P): copies the seed corpus SEEDS into a
# fresh working corpus WORK/corpus (the seeds are never written to), runs
# FUZZER over it for SECONDS and fails on any finding, which is left in
# WORK/findings/. Called by CTest and by scripts/fuzz.sh.
foreach(var FUZZER SEEDS WORK SECONDS)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "run_fuzzer.cmake needs -D ${var}=...")
  endif()
endforeach()

# The longest input per target: room for a few records or packets, and for
# reassembly a record of the largest size allowed with its cut codes.
get_filename_component(target ${FUZZER} NAME)
set(MAX_LEN 4096)
if(target STREQUAL "fuzz_reassembly")
  set(MAX_LEN 70000)
elseif(target STREQUAL "fuzz_standin_packets")
  set(MAX_LEN 8192)
endif()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/corpus ${WORK}/findings)
file(GLOB seeds ${SEEDS}/*)
if(NOT seeds)
  message(FATAL_ERROR "no seeds in ${SEEDS}")
endif()
file(COPY ${seeds} DESTINATION ${WORK}/corpus)

execute_process(
  COMMAND ${FUZZER} ${WORK}/corpus
          -max_total_time=${SECONDS} -timeout=10 -rss_limit_mb=2048 -max_len=${MAX_LEN}
          -print_final_stats=1 -artifact_prefix=${WORK}/findings/
  RESULT_VARIABLE result
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output)

# libFuzzer's closing lines: runs, coverage, and what it found if anything.
string(REGEX MATCHALL "#[0-9]+[^\n]*DONE[^\n]*|stat::[^\n]*|==[0-9]+==[^\n]*|SUMMARY[^\n]*|artifact_prefix[^\n]*|Test unit written[^\n]*"
       summary "${output}")
string(REPLACE ";" "\n" summary "${summary}")
message("${summary}")
file(GLOB findings ${WORK}/findings/*)
if(NOT result EQUAL 0 OR findings)
  message("${output}")
  message(FATAL_ERROR "${FUZZER} found a fault (exit ${result}); input(s): ${findings}")
endif()
