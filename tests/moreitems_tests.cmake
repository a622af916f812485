# The Wash page's More Items dialog through the running tray program.
qv_test(moreitems_tests ${CMAKE_CURRENT_SOURCE_DIR}/moreitems_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/tray_support.cpp
        DEPENDS qvtoolbar rules_files language_files LIBS comctl32 shell32)
