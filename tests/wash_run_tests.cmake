# The wash run through the running tray program and its Wash page.
qv_test(wash_run_tests ${CMAKE_CURRENT_SOURCE_DIR}/wash_run_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/wash_autowash_test.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/wash_env.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/tray_support.cpp ${CMAKE_CURRENT_SOURCE_DIR}/browser_profiles.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/places_support.cpp DEPENDS qvtoolbar qvinetcpl rules_files LIBS comctl32 qvsqlite)

# The unattended wash's log path as a Unix link to a file beside it (which the
# test writes), made on the Linux side.
qv_shell_fixture(qvloglink TESTS Autowash.ASymbolicLinkAtTheLogPathIsLeftAsItIsAndIsCodeThree
  SETUP "rm -rf \"$P/drive_c/qvloglink\" && mkdir -p \"$P/drive_c/qvloglink\" && ln -s \"$P/drive_c/qvloglink/target.log\" \"$P/drive_c/qvloglink/wash.log\""
  CLEANUP "rm -rf \"$P/drive_c/qvloglink\"")
