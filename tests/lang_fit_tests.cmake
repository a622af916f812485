# Every text fits its control, in every language: one run a language, under a locale
# whose code page shows it (Wine takes the code page from the locale's name), named
# by the language's code so that a failure names its language.
qv_test(lang_fit_tests ${CMAKE_CURRENT_SOURCE_DIR}/lang_fit_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/tray_support.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/setup_support.cpp NO_CASES
        DEPENDS setup uninstall qvtoolbar qvuac qvrunas language_files LIBS qvcommon comctl32 gdi32 shell32)
foreach(entry 0:en:C 1:fr:C 2:de:C 3:ja:ja_JP 4:es:C 5:sv:C 6:it:C 7:cs:cs_CZ 8:ru:ru_RU 9:nl:C 10:zh-CN:zh_CN
              11:no:C 12:is:C 13:da:C 14:pl:cs_CZ 15:ro:cs_CZ 16:pt:C 17:fi:C 18:zh-TW:zh_TW 19:el:el_GR)
  string(REPLACE ":" ";" parts ${entry})
  list(GET parts 0 language)
  list(GET parts 1 code)
  list(GET parts 2 locale)
  qv_locale_run(LanguageFit.EveryTextFitsItsControl.${code} lang_fit_tests LanguageFit.EveryTextFitsItsControl
                ${locale} QV_FIT_LANGUAGE=${language})
endforeach()
