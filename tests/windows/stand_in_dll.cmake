# Tests of the stand-in SimConnect.dll (hostlink/net built for Windows):
# its image and exports, its Winsock code under Wine, and vantilo.exe under
# Wine bound to it as the side-by-side assembly, against the native
# stand-in simulator, and vantilo-direct.exe (the same host link in the
# exe) finding the stand-in each way it can. Included from this folder's
# CMakeLists.txt.

# The image kind, the plain-name exports and the imports of SimConnect.dll,
# and proof that the inspection rejects a DLL with decorated exports.
vantilo_add_test(windows dll_inspection TIMEOUT 120
                 COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/inspect_dll.sh" "${CMAKE_OBJDUMP}"
                         $<TARGET_FILE:vantilo_simconnect_dll>)
add_library(simconnect_decorated SHARED "${PROJECT_SOURCE_DIR}/hostlink/net/operations.cpp")
target_link_libraries(simconnect_decorated PRIVATE vantilo_hostlink_net vantilo_warnings)
set_target_properties(simconnect_decorated PROPERTIES PREFIX "")
vantilo_add_test(windows dll_inspection_catches_faults TIMEOUT 120
                 COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/dll_checker_self_test.sh"
                         "${CMAKE_OBJDUMP}" $<TARGET_FILE:simconnect_decorated>
                         $<TARGET_FILE:vantilo>)

if(NOT DEFINED VANTILO_WINEPREFIX)
  return()
endif()

# The host link's Windows-only code, run under Wine like the program's tests.
add_executable(windows_net_tests winsock_link_test.cpp)
target_link_libraries(windows_net_tests PRIVATE vantilo_hostlink_net GTest::gtest
                      GTest::gtest_main vantilo_warnings)
add_dependencies(windows_net_tests wine_prefix)
vantilo_discover_tests(windows_net_tests windows TIMEOUT 120)

# A second Wine prefix, which the end-to-end test gives the SimConnect
# assembly; the first one must stay without it for the binding test.
set(simconnect_prefix "${CMAKE_BINARY_DIR}/wineprefix-simconnect")
set(simconnect_wine_env "WINEPREFIX=${simconnect_prefix}" WINEDEBUG=-all
    "WINEDLLOVERRIDES=mscoree,mshtml=")
vantilo_wine_prefix(wine_prefix_simconnect "${simconnect_prefix}" ${simconnect_wine_env})

# The native vantilo and vantilo-standin the end-to-end test runs beside the
# exe; scripts/test-windows.sh passes the native ci build.
set(VANTILO_NATIVE_BUILD_DIR "" CACHE PATH
    "Native (Linux) build tree with vantilo and vantilo-standin, for the end-to-end test")
if(NOT NODE_EXECUTABLE)
  set(NODE_EXECUTABLE node)  # the test then fails and says node is missing
endif()
# A test tool (not shipped): a named pipe relayed to the stand-in's port,
# for vantilo-direct.exe to find as a simulator's pipe.
add_executable(pipe_relay pipe_relay.cpp)
target_link_libraries(pipe_relay PRIVATE ws2_32 vantilo_warnings)
vantilo_add_test(windows end_to_end_under_wine TIMEOUT 400
                 COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/wine_end_to_end_test.sh"
                         "${simconnect_prefix}" $<TARGET_FILE:vantilo>
                         $<TARGET_FILE:vantilo_simconnect_dll>
                         "${CMAKE_CURRENT_SOURCE_DIR}/simconnect_assembly.manifest"
                         "${NODE_EXECUTABLE}" "${VANTILO_NATIVE_BUILD_DIR}"
                         $<TARGET_FILE:vantilo-direct> $<TARGET_FILE:pipe_relay>)
