# Display scaling: the manifests and icons of the built files, and the running
# tray program at a raised system dpi. The scaling tests change the user's
# "LogPixels", which every program started meanwhile would read: they run alone
# (RUN_SERIAL), and a clean-up test puts the value back even after one died.
add_executable(dpi_tests ${CMAKE_CURRENT_SOURCE_DIR}/dpi_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/tray_support.cpp)
target_link_libraries(dpi_tests PRIVATE qvtest gtest_main qvbase comctl32 gdi32)
target_compile_options(dpi_tests PRIVATE ${QV_WARNINGS})
add_dependencies(dpi_tests qvtoolbar qvuac setup uninstall Quorvane)
gtest_add_tests(TARGET dpi_tests WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin TEST_LIST QV_DPI_TESTS)
set(QV_DPI_SCALED ${QV_DPI_TESTS})
list(FILTER QV_DPI_SCALED INCLUDE REGEX "^DpiAt")
set_tests_properties(${QV_DPI_SCALED} PROPERTIES RUN_SERIAL TRUE FIXTURES_REQUIRED qvdpirestore)
set_tests_properties(DpiRestore.TheUsersScalingIsBack PROPERTIES RUN_SERIAL TRUE FIXTURES_CLEANUP qvdpirestore)
