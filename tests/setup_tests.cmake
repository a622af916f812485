# setup.exe, run from a setup folder of its own into a scratch install folder.
qv_test(setup_tests ${CMAKE_CURRENT_SOURCE_DIR}/setup_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/setup_support.cpp
        DEPENDS setup uninstall qvtoolbar qvuac qvrunas LIBS qvsetupcore comctl32 shell32)
target_include_directories(setup_tests PRIVATE ${CMAKE_SOURCE_DIR})
qv_test(setup_steps_tests ${CMAKE_CURRENT_SOURCE_DIR}/setup_steps_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/setup_support.cpp
        DEPENDS setup uninstall qvtoolbar qvuac qvrunas LIBS qvsetupcore comctl32 shell32)
target_include_directories(setup_steps_tests PRIVATE ${CMAKE_SOURCE_DIR})
# The options page in Japanese under a Japanese code page (Wine takes it from the locale).
qv_locale_run(SetupSpeaks.JapaneseInJapaneseCodePage setup_tests SetupSpeaks.JapaneseUnderItsCodePage ja_JP)

# Every language file covers every text the programs pass to LibTranslate, decodes in
# its code page, and keeps the conversions, line breaks, accelerators and edge blanks.
add_test(NAME LanguageFiles.EveryLanguageCoversEveryText COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/lang/check.py
         ${CMAKE_BINARY_DIR}/bin/Common_Lang_1.txt ${CMAKE_BINARY_DIR}/bin/Common_Lang_2.txt
         ${CMAKE_BINARY_DIR}/bin/Common_Lang_3.txt ${CMAKE_BINARY_DIR}/bin/Common_Lang_4.txt
         ${CMAKE_BINARY_DIR}/bin/Common_Lang_5.txt ${CMAKE_BINARY_DIR}/bin/Common_Lang_6.txt
         ${CMAKE_BINARY_DIR}/bin/Common_Lang_7.txt ${CMAKE_BINARY_DIR}/bin/Common_Lang_8.txt
         ${CMAKE_BINARY_DIR}/bin/Common_Lang_9.txt ${CMAKE_BINARY_DIR}/bin/Common_Lang_10.txt
         ${CMAKE_BINARY_DIR}/bin/Common_Lang_11.txt ${CMAKE_BINARY_DIR}/bin/Common_Lang_12.txt
         ${CMAKE_BINARY_DIR}/bin/Common_Lang_13.txt ${CMAKE_BINARY_DIR}/bin/Common_Lang_14.txt
         ${CMAKE_BINARY_DIR}/bin/Common_Lang_15.txt ${CMAKE_BINARY_DIR}/bin/Common_Lang_16.txt
         ${CMAKE_BINARY_DIR}/bin/Common_Lang_17.txt ${CMAKE_BINARY_DIR}/bin/Common_Lang_18.txt
         ${CMAKE_BINARY_DIR}/bin/Common_Lang_19.txt)
