# Every text fits its control, in every language: run once under each code page the
# language files are written in (Wine takes the code page from the locale's name).
qv_test(lang_fit_tests ${CMAKE_CURRENT_SOURCE_DIR}/lang_fit_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/tray_support.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/setup_support.cpp
        DEPENDS setup uninstall qvtoolbar qvuac qvrunas language_files LIBS qvcommon comctl32 gdi32 shell32)
foreach(locale cs_CZ ja_JP zh_CN ru_RU el_GR zh_TW)
  qv_locale_run(LanguageFit.EveryTextFitsItsControl.${locale} lang_fit_tests LanguageFit.EveryTextFitsItsControl
                ${locale})
endforeach()
