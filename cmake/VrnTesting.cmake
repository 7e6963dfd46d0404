# vrn_add_test(<target> SOURCES ... [LIBS ...] [LABELS ...])
# One GoogleTest executable per module; every test case becomes a ctest test.
# Tests never see the user's home: XDG_CONFIG_HOME and XDG_STATE_HOME point into the build tree.
find_package(GTest REQUIRED)
include(GoogleTest)

set(VRN_TEST_HOME ${CMAKE_BINARY_DIR}/test-home)
file(MAKE_DIRECTORY ${VRN_TEST_HOME}/config ${VRN_TEST_HOME}/state)

function(vrn_add_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main vrn_warnings)
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    target_compile_definitions(${name} PRIVATE
        VRN_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
        VRN_BINARY_DIR="${CMAKE_BINARY_DIR}"
        VRN_SHARED_TESTDATA="${CMAKE_SOURCE_DIR}/../shared/testdata")
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 120
        PROPERTIES
            LABELS "${T_LABELS}"
            ENVIRONMENT "XDG_CONFIG_HOME=${VRN_TEST_HOME}/config;XDG_STATE_HOME=${VRN_TEST_HOME}/state;QT_QPA_PLATFORM=offscreen;VRN_BINARY_DIR=${CMAKE_BINARY_DIR}")
endfunction()
