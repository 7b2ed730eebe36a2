# How tests are registered. Every CTest name starts with its area (program.,
# net., standin., faults., e2e., peer., windows., release., bench., fuzz.)
# and carries the area as its LABEL, so `ctest -L net` runs one area. node,
# which runs the end-to-end and peer tests, is looked up here once.
include_guard(GLOBAL)

find_program(NODE_EXECUTABLE NAMES node nodejs)
set(VANTILO_PEER_DIR ${PROJECT_SOURCE_DIR}/tests/peer)
# node-simconnect, pinned in tests/peer and installed by scripts/setup.sh.
if(NODE_EXECUTABLE AND EXISTS ${VANTILO_PEER_DIR}/node_modules/node-simconnect)
  set(VANTILO_HAVE_NODE_SIMCONNECT ON)
else()
  set(VANTILO_HAVE_NODE_SIMCONNECT OFF)
endif()

# The arguments both functions below take: TIMEOUT (60 s unless given),
# SERIAL (the test needs the machine to itself: floods, soak, latency),
# COMMAND, and the rest in arg_UNPARSED_ARGUMENTS, in the caller's scope.
macro(vantilo_test_arguments)
  cmake_parse_arguments(arg "SERIAL" "TIMEOUT" "COMMAND" ${ARGN})
  if(NOT arg_TIMEOUT)
    set(arg_TIMEOUT 60)
  endif()
endmacro()

# vantilo_discover_tests(TARGET AREA [TIMEOUT SECONDS] [SERIAL] [gtest_discover_tests options...])
# Registers a GoogleTest program's cases as AREA.Suite.Case, labelled AREA.
function(vantilo_discover_tests target area)
  if(CMAKE_CROSSCOMPILING AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
    return()  # built, but nothing here can run it to list its cases
  endif()
  vantilo_test_arguments(${ARGN})
  include(GoogleTest)
  gtest_discover_tests(${target} TEST_PREFIX "${area}." DISCOVERY_TIMEOUT 60
                       ${arg_UNPARSED_ARGUMENTS}
                       PROPERTIES TIMEOUT ${arg_TIMEOUT} LABELS ${area} RUN_SERIAL ${arg_SERIAL})
endfunction()

# vantilo_add_test(AREA NAME [TIMEOUT SECONDS] [SERIAL] COMMAND command args...)
# One test named AREA.NAME, labelled AREA; set further properties on
# AREA.NAME afterwards.
function(vantilo_add_test area name)
  vantilo_test_arguments(${ARGN})
  add_test(NAME ${area}.${name} COMMAND ${arg_COMMAND})
  set_tests_properties(${area}.${name} PROPERTIES TIMEOUT ${arg_TIMEOUT} LABELS ${area}
                                                  RUN_SERIAL ${arg_SERIAL})
endfunction()
