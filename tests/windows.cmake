# The suites that need nothing of Linux, built for Windows and run under Wine (the build's
# CMAKE_CROSSCOMPILING_EMULATOR): vector math, the world reader, the scene, the KBF parser, LL on
# the scripted backend and the replay of hostile files. Each executable is one CTest test, so
# Wine starts once per suite rather than once per case.
function(qv_wine_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;DEFINES" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  if(T_DEFINES)
    target_compile_definitions(${name} PRIVATE ${T_DEFINES})
  endif()
  add_test(NAME wine_${name} COMMAND ${name} --gtest_brief=1 WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  set_tests_properties(wine_${name} PROPERTIES TIMEOUT 300)
endfunction()

set(qv_t ${CMAKE_CURRENT_SOURCE_DIR})
qv_wine_test(math_test SOURCES ${qv_t}/math/vecmath_test.cpp LIBS quorvel_math)
qv_wine_test(world_file_test
  SOURCES ${qv_t}/world/world_file_test.cpp ${qv_t}/world/world_hostile_test.cpp ${qv_t}/world/file_bytes_test.cpp
  LIBS quorvel_world)
qv_wine_test(scene_test SOURCES ${qv_t}/scene/entity_test.cpp ${qv_t}/scene/motion_test.cpp
  LIBS quorvel_scene quorvel_headless)
qv_wine_test(text_kbf_test SOURCES ${qv_t}/text/kbf_test.cpp LIBS quorvel_kbf)
qv_wine_test(ll_unit_tests SOURCES ${qv_t}/ll/ll_window_test.cpp ${qv_t}/ll/ll_input_test.cpp ${qv_t}/ll/ll_analog_test.cpp
  LIBS quorvel_ll_test)

add_library(qv_replay STATIC ${qv_t}/hardening/replay.cpp)
target_link_libraries(qv_replay PUBLIC quorvel_world quorvel_kbf)
target_compile_definitions(qv_replay PRIVATE QV_REGRESSION_DIR="${qv_t}/hardening/regressions")
qv_wine_test(hardening_replay_test SOURCES ${qv_t}/hardening/replay_test.cpp LIBS qv_replay)

# The file watch on ReadDirectoryChangesW, under Wine's own notification.
qv_wine_test(file_watch_test SOURCES ${qv_t}/ll/file_watch_test.cpp LIBS quorvel_filewatch)

# XInput loaded at run time: the system's DLL, and a missing one.
qv_wine_test(xinput_test SOURCES ${qv_t}/ll/xinput_test.cpp ${CMAKE_SOURCE_DIR}/ll/pad_xinput.cpp ${CMAKE_SOURCE_DIR}/ll/pad.cpp)

# The rules LL and the Linux emulation rely on, asked of the system itself.
qv_wine_test(ll_win32_rules_test SOURCES ${qv_t}/ll/win32_rules_test.cpp LIBS quorvel_ll_win32)
