# quorvia_add_qtest(<name>
#     SOURCES <files...>
#     [LIBRARIES <targets...>]
#     [SERVICES <cupsd|buses>...]     private services started around the test
#     [TIMEOUT <seconds>])
#
# Builds tst_<name> and registers it as CTest test <name>. Every test runs
# with a private, throw-away HOME and XDG_RUNTIME_DIR (testing/with-home.sh),
# on the offscreen Qt platform, so no test touches the user's own files.
# Services are started by wrapper scripts that stop them by PID on exit.
#
# With QUORVIA_TSAN_QT_HANDOFFS (ThreadSanitizer builds, scripts/test.sh --tsan)
# every test also links testing/sanitizers/qthandoffs.cpp, which shows
# ThreadSanitizer the ordering Qt's own locks and event queues give.
option(QUORVIA_TSAN_QT_HANDOFFS "Tests tell ThreadSanitizer about Qt's hand-offs between threads" OFF)
if(QUORVIA_TSAN_QT_HANDOFFS)
  # Objects, not an archive: the replacements must win over libQt5Core even
  # where nothing refers to them yet. Left uninstrumented like the Qt code they
  # stand in for, so they may touch what Qt hands over before announcing it.
  add_library(tsan-qt-handoffs OBJECT ${PROJECT_SOURCE_DIR}/testing/sanitizers/qthandoffs.cpp)
  target_compile_options(tsan-qt-handoffs PRIVATE -fno-sanitize=thread)
  target_link_libraries(tsan-qt-handoffs PUBLIC Qt5::Core ${CMAKE_DL_LIBS})
endif()

function(quorvia_add_qtest name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBRARIES;SERVICES" ${ARGN})
  add_executable(tst_${name} ${T_SOURCES})
  target_link_libraries(tst_${name} PRIVATE Qt5::Test ${T_LIBRARIES})
  if(QUORVIA_TSAN_QT_HANDOFFS)
    target_link_libraries(tst_${name} PRIVATE tsan-qt-handoffs)
  endif()
  target_include_directories(tst_${name} PRIVATE ${CMAKE_BINARY_DIR}/generated)

  set(wrappers ${PROJECT_SOURCE_DIR}/testing/with-home.sh)
  foreach(service IN LISTS T_SERVICES)
    if(service STREQUAL "cupsd")
      list(APPEND wrappers ${PROJECT_SOURCE_DIR}/testing/cups/with-cupsd.sh)
    elseif(service STREQUAL "buses")
      list(APPEND wrappers ${PROJECT_SOURCE_DIR}/testing/dbus/with-buses.sh)
    else()
      message(FATAL_ERROR "quorvia_add_qtest(${name}): unknown service '${service}'")
    endif()
  endforeach()

  add_test(NAME ${name} COMMAND ${wrappers} $<TARGET_FILE:tst_${name}>)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QUORVIA_TEST_SOURCE_DIR=${PROJECT_SOURCE_DIR};QUORVIA_TEST_BINARY_DIR=${PROJECT_BINARY_DIR}")
endfunction()
