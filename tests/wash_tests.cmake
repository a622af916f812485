# The restart list and the deletion routines, run in-process against real files.
qv_test(wash_tests ${CMAKE_CURRENT_SOURCE_DIR}/restartlist_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/deletion_test.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/tray_host.cpp LIBS qvtraycore qvcommon Quorvane)
target_include_directories(wash_tests PRIVATE ${CMAKE_SOURCE_DIR})

# A folder holding a Unix symbolic link to another folder (a reparse point to Wine).
set(QV_WASH_LINK "\${WINEPREFIX:-\$HOME/.wine}/drive_c/qvwashlink")
add_test(NAME wash_link_fixture_setup COMMAND /bin/sh -c
  "rm -rf \"${QV_WASH_LINK}\" && mkdir -p \"${QV_WASH_LINK}/target/inner\" \"${QV_WASH_LINK}/tree/sub\" && echo keep > \"${QV_WASH_LINK}/target/keep.txt\" && echo keep > \"${QV_WASH_LINK}/target/inner/keep2.txt\" && echo x > \"${QV_WASH_LINK}/tree/sub/file.txt\" && ln -s \"${QV_WASH_LINK}/target\" \"${QV_WASH_LINK}/tree/link\"")
add_test(NAME wash_link_fixture_cleanup COMMAND /bin/sh -c "rm -rf \"${QV_WASH_LINK}\"")
set_tests_properties(wash_link_fixture_setup PROPERTIES FIXTURES_SETUP qv_wash_link)
set_tests_properties(wash_link_fixture_cleanup PROPERTIES FIXTURES_CLEANUP qv_wash_link)
set_tests_properties(DeletionTest.LinkedFolderIsRemovedWithoutItsTarget PROPERTIES FIXTURES_REQUIRED qv_wash_link)
