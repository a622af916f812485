qv_test(bosskey_tests ${CMAKE_CURRENT_SOURCE_DIR}/bosskey_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/tray_support.cpp
        DEPENDS qvtoolbar qvtbclient LIBS Quorvane comctl32)
