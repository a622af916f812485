# The settings window of the running tray program and its pages.
qv_test(settings_tests ${CMAKE_CURRENT_SOURCE_DIR}/settings_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/tray_support.cpp
        DEPENDS qvtoolbar qvuac LIBS comctl32)
