qv_test(pictures_tests ${CMAKE_CURRENT_SOURCE_DIR}/pictures_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/tray_support.cpp
        DEPENDS qvtoolbar qvtbclient LIBS Quorvane shell32 ole32)
