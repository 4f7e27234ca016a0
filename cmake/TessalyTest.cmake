include(GoogleTest)

# tessaly_add_test(<name> SOURCES <files...> LIBS <targets...> [GUI] [TIMEOUT <seconds>])
# One test executable per file group. Every test runs offscreen, in a
# throwaway HOME and XDG folders (the shared test main makes them).
function(tessaly_add_test name)
  cmake_parse_arguments(T "GUI" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${name} ${T_SOURCES})
  if(T_GUI)
    target_link_libraries(${name} PRIVATE tessaly_test_main_gui)
  else()
    target_link_libraries(${name} PRIVATE tessaly_test_main)
  endif()
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/tests)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TESSALY_TEST=1" TIMEOUT ${T_TIMEOUT})
endfunction()
