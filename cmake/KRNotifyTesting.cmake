# krn_add_test(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2 [ENV VAR=value ...] [TIMEOUT s])
# One QtTest executable, registered with CTest. Widget tests run offscreen; resources
# (string table, sounds, pictures) are found through KRNOTIFY_PROGRAM_DIR; what the program keeps
# of its history (audit trail, crash reports) goes to the build folder, not the source tree.
function(krn_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test ${T_LIBS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/libs
    ${PROJECT_SOURCE_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  if(KRNOTIFY_SANITIZE)
    list(APPEND T_ENV "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp")
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;KRNOTIFY_PROGRAM_DIR=${PROJECT_SOURCE_DIR}/resources;KRNOTIFY_SOURCE_DIR=${PROJECT_SOURCE_DIR};KRNOTIFY_BINARY_DIR=${PROJECT_BINARY_DIR};KRNOTIFY_STATE_DIR=${PROJECT_BINARY_DIR}/test-state;${T_ENV}")
endfunction()
