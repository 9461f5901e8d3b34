if(CMAKE_CROSSCOMPILING AND EXISTS /usr/src/googletest)
    # No GoogleTest package for the target: build Debian's sources with the cross compiler.
    set(BUILD_GMOCK OFF CACHE BOOL "")
    set(INSTALL_GTEST OFF CACHE BOOL "")
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
else()
    find_package(GTest REQUIRED)
endif()
include(GoogleTest)

# Under Wine every test runs in one fresh prefix of the build tree, set up before the first test and
# whose wineserver is stopped after the last (the "wine" fixture).
if(CMAKE_CROSSCOMPILING_EMULATOR MATCHES "wine")
    set(TARVEX_WINE_ENVIRONMENT "WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix;WINEDEBUG=-all")
    add_test(NAME wine_start COMMAND ${CMAKE_CURRENT_LIST_DIR}/wine-tests.sh start)
    add_test(NAME wine_stop COMMAND ${CMAKE_CURRENT_LIST_DIR}/wine-tests.sh stop)
    set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine ENVIRONMENT "${TARVEX_WINE_ENVIRONMENT}")
    set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine ENVIRONMENT "${TARVEX_WINE_ENVIRONMENT}")
endif()

# tarvex_add_gtest(<name> SOURCES <files...> [LIBRARIES <targets...>] [LABELS <labels...>]
#                  [PROPERTIES <test properties...>])
# Builds one GoogleTest executable and registers its tests with CTest. Natively every test case
# becomes its own CTest entry; under a cross-compiling emulator (Wine) the executable runs as one
# entry, since each emulator start is slow.
function(tarvex_add_gtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES;LABELS;PROPERTIES" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} tarvex_test_support GTest::gtest GTest::gtest_main
                          tarvex::warnings)
    if(CMAKE_CROSSCOMPILING)
        add_test(NAME ${name} COMMAND ${name})
        set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}" ${ARG_PROPERTIES})
        if(TARVEX_WINE_ENVIRONMENT)
            set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine
                                 ENVIRONMENT "${TARVEX_WINE_ENVIRONMENT}")
        endif()
    else()
        gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES LABELS "${ARG_LABELS}" ${ARG_PROPERTIES})
    endif()
endfunction()

# tarvex_add_qtest(<name> SOURCES <files...> [LIBRARIES <targets...>] [LABELS <labels...>])
# Builds one QTest executable (moc on) and registers it as one CTest entry that runs without a
# display.
function(tarvex_add_qtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} tarvex_test_support Qt6::Test tarvex::qt_defaults
                          tarvex::warnings)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}" ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_STATE_HOME=${CMAKE_BINARY_DIR}/test-state")
endfunction()
