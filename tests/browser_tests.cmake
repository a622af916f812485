qv_test(browser_tests ${CMAKE_CURRENT_SOURCE_DIR}/switches_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/tray_support.cpp
        DEPENDS qvtoolbar qvtbclient LIBS Quorvane)
