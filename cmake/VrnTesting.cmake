# vrn_add_test(<target> SOURCES ... [LIBS ...] [LABELS ...])
# One GoogleTest executable per module; every test case becomes a ctest test.
# Tests never see the user's home: XDG_CONFIG_HOME and XDG_STATE_HOME point into the build tree.
find_package(GTest REQUIRED)
include(GoogleTest)

set(VRN_TEST_HOME ${CMAKE_BINARY_DIR}/test-home)
file(MAKE_DIRECTORY ${VRN_TEST_HOME}/config ${VRN_TEST_HOME}/state)

set(VRN_TEST_ENV "XDG_CONFIG_HOME=${VRN_TEST_HOME}/config;XDG_STATE_HOME=${VRN_TEST_HOME}/state;QT_QPA_PLATFORM=offscreen;VRN_BINARY_DIR=${CMAKE_BINARY_DIR}")
if(VRN_SANITIZE STREQUAL "thread")
    list(APPEND VRN_TEST_ENV "TSAN_OPTIONS=ignore_noninstrumented_modules=1:suppressions=${CMAKE_SOURCE_DIR}/cmake/tsan-suppressions.txt")
endif()

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
        TEST_LIST ${name}_TESTS)
    # Labels and environment go on the discovered tests from a file ctest reads after the discovery:
    # gtest_discover_tests' own PROPERTIES would keep only the first item of a list.
    set(props ${CMAKE_CURRENT_BINARY_DIR}/${name}_properties.cmake)
    file(WRITE ${props}
        "if(${name}_TESTS)\n"
        "  set_tests_properties(\${${name}_TESTS} PROPERTIES\n"
        "    LABELS [==[${T_LABELS}]==]\n"
        "    ENVIRONMENT [==[${VRN_TEST_ENV}]==])\n"
        "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${props})
endfunction()
