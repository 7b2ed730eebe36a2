# Checks that the committed seed corpora are what fuzz_make_seeds writes
# (cmake -P with WRITER, SEEDS and WORK): every written file must be in SEEDS
# with the same bytes. SEEDS may hold more (inputs of fixed findings).
file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${WRITER} ${WORK} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${WRITER} failed (${result})")
endif()
file(GLOB_RECURSE written RELATIVE ${WORK} ${WORK}/*)
if(NOT written)
  message(FATAL_ERROR "${WRITER} wrote nothing")
endif()
set(stale "")
foreach(file ${written})
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/${file} ${SEEDS}/${file}
                  RESULT_VARIABLE different)
  if(different)
    list(APPEND stale ${file})
  endif()
endforeach()
if(stale)
  message(FATAL_ERROR "seeds missing or out of date (run fuzz_make_seeds ${SEEDS}): ${stale}")
endif()
