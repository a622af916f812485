# Tests of Quorvane.dll, run in-process against the library.
qv_test(lib_tests
  ${CMAKE_CURRENT_SOURCE_DIR}/lib_settings_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/lib_match_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/lib_translate_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/lib_qvg_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/lib_folders_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/lib_shortcuts_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/lib_ordinals_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/lib_windows_test.cpp
  LIBS Quorvane comctl32)
# The definition file is read through Wine's Z: drive.
target_compile_definitions(lib_tests PRIVATE QV_DEF_FILE="Z:${CMAKE_SOURCE_DIR}/quorvane/Quorvane.def")

# A folder holding a symbolic link to another folder, made on the Linux side
# (Wine sees it as a reparse point); a Windows program cannot make one.
set(QV_LINK_FIXTURE "\${WINEPREFIX:-\$HOME/.wine}/drive_c/qvlinkfix")
add_test(NAME lib_link_fixture_setup COMMAND /bin/sh -c
  "rm -rf \"${QV_LINK_FIXTURE}\" && mkdir -p \"${QV_LINK_FIXTURE}/target/inner\" \"${QV_LINK_FIXTURE}/tree/sub\" && echo keep > \"${QV_LINK_FIXTURE}/target/keep.txt\" && echo keep > \"${QV_LINK_FIXTURE}/target/inner/keep2.txt\" && echo x > \"${QV_LINK_FIXTURE}/tree/sub/file.txt\" && ln -s \"${QV_LINK_FIXTURE}/target\" \"${QV_LINK_FIXTURE}/tree/link\"")
add_test(NAME lib_link_fixture_cleanup COMMAND /bin/sh -c "rm -rf \"${QV_LINK_FIXTURE}\"")
set_tests_properties(lib_link_fixture_setup PROPERTIES FIXTURES_SETUP qv_link)
set_tests_properties(lib_link_fixture_cleanup PROPERTIES FIXTURES_CLEANUP qv_link)
set_tests_properties(LibFolderLinkTest.ALinkedFolderIsNeverFollowed PROPERTIES FIXTURES_REQUIRED qv_link)
