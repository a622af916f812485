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

# A language's own code page against the system's: run once more where the
# system's code page is 1252, whatever the machine's locale.
qv_locale_run(LibTranslateCodePage.InWesternCodePage lib_tests
              LibTranslateTest.ATranslationInAnotherCodePageIsShownOnlyWhereItCanBe en_US)
# Link handling needs a folder link made on the Linux side.
qv_link_fixture(qvlinkfix LibFolderLinkTest.ALinkedFolderIsNeverFollowed)
# The shared path helpers and the tool catalogue; the double-byte case runs
# again in a Japanese locale (Wine takes the code page from it).
qv_test(paths_tests ${CMAKE_CURRENT_SOURCE_DIR}/paths_test.cpp LIBS qvbase)
qv_locale_run(PathDoubleByte.InJapaneseCodePage paths_tests PathDoubleByte.* ja_JP)
