# uninstall.exe after a real installation by setup.exe.
qv_test(uninstall_tests ${CMAKE_CURRENT_SOURCE_DIR}/uninstall_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/setup_support.cpp
        DEPENDS setup uninstall qvtoolbar qvuac qvrunas LIBS qvcommon Quorvane shell32 advapi32)
target_include_directories(uninstall_tests PRIVATE ${CMAKE_SOURCE_DIR})
