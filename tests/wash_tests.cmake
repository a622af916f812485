# The restart list and the deletion routines, run in-process against real files.
qv_test(wash_tests ${CMAKE_CURRENT_SOURCE_DIR}/restartlist_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/deletion_test.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/walk_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/folderacl_test.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/wash_items_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/jumplist_test.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/wash_env.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/tray_host.cpp DEPENDS qvinetcpl LIBS qvtraycore qvcommon Quorvane)
target_include_directories(wash_tests PRIVATE ${CMAKE_SOURCE_DIR})

# Link handling needs a folder link made on the Linux side.
qv_link_fixture(qvwashlink DeletionTest.LinkedFolderIsRemovedWithoutItsTarget)
