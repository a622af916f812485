# setup.exe, run from a setup folder of its own into a scratch install folder.
qv_test(setup_tests ${CMAKE_CURRENT_SOURCE_DIR}/setup_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/setup_support.cpp
        DEPENDS setup uninstall qvtoolbar qvuac qvrunas LIBS qvsetupcore comctl32 shell32)
target_include_directories(setup_tests PRIVATE ${CMAKE_SOURCE_DIR})
qv_test(setup_steps_tests ${CMAKE_CURRENT_SOURCE_DIR}/setup_steps_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/setup_support.cpp
        DEPENDS setup uninstall qvtoolbar qvuac qvrunas LIBS qvsetupcore comctl32 shell32)
target_include_directories(setup_steps_tests PRIVATE ${CMAKE_SOURCE_DIR})
