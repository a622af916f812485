# The wash run through the running tray program and its Wash page.
qv_test(wash_run_tests ${CMAKE_CURRENT_SOURCE_DIR}/wash_run_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/wash_autowash_test.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/wash_env.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/tray_support.cpp DEPENDS qvtoolbar qvinetcpl LIBS comctl32)
