# Cross-built Windows tests run under wine, in a wine prefix of this build's
# own that the build prepares once; no display, none of wine's own messages.
# Included from the top level, so that the library's and the engine plugin's
# tests run the same way.
find_program(KARVEL_WINE wine REQUIRED)
find_program(KARVEL_WINEBOOT wineboot REQUIRED)
set(wine_prefix ${CMAKE_BINARY_DIR}/wine-prefix)
set(wine_env ${CMAKE_COMMAND} -E env --unset=DISPLAY WINEPREFIX=${wine_prefix} WINEDEBUG=-all)
add_custom_command(OUTPUT ${wine_prefix}/system.reg
                   COMMAND ${wine_env} WINEDLLOVERRIDES=mscoree,mshtml= ${KARVEL_WINEBOOT} -i
                   COMMENT "Preparing the wine prefix")
add_custom_target(karvel_wine_prefix ALL DEPENDS ${wine_prefix}/system.reg)
# Runs the test executables, also for gtest_discover_tests. Tests are listed
# when ctest runs, inside the wine session below, never at build time.
set(CMAKE_CROSSCOMPILING_EMULATOR ${wine_env} ${KARVEL_WINE})
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
set(wine_session "sh ${CMAKE_CURRENT_LIST_DIR}/../library/tests/wine-session.sh")
file(WRITE ${CMAKE_BINARY_DIR}/CTestCustom.cmake
     "set(CTEST_CUSTOM_PRE_TEST \"${wine_session} start ${wine_prefix}\")\n"
     "set(CTEST_CUSTOM_POST_TEST \"${wine_session} stop ${wine_prefix}\")\n")
