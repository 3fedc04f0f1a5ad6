# One place that registers tests, so every kind of test gets the same treatment.
include(GoogleTest)

# Qt-free unit tests: GoogleTest, discovered one test at a time.
function(lm_add_gtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main lm_warnings)
    # Parameter values print as raw bytes (with pointers): name the cases by index instead.
    gtest_discover_tests(${name} NO_PRETTY_VALUES PROPERTIES LABELS unit DISCOVERY_TIMEOUT 60)
endfunction()

# Window tests: Qt Test on the offscreen platform.
function(lm_add_qttest name)
    cmake_parse_arguments(ARG "" "LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
    if(NOT ARG_LABEL)
        set(ARG_LABEL gui)
    endif()
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt6::Test lm_warnings)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        LABELS ${ARG_LABEL}
        TIMEOUT ${ARG_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=C.UTF-8")
endfunction()
