# The cleaning rules: reading them, and washing browser profiles built in the prefix.
qv_test(rules_tests ${CMAKE_CURRENT_SOURCE_DIR}/rules_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/tray_host.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/browser_profiles.cpp ${CMAKE_CURRENT_SOURCE_DIR}/places_support.cpp
        DEPENDS qvinetcpl rules_files LIBS qvtraycore qvcommon Quorvane qvsqlite)
target_include_directories(rules_tests PRIVATE ${CMAKE_SOURCE_DIR})

# A "*" step and a folder walk beside a folder link made on the Linux side.
qv_link_fixture(qvruleslink RulesWash.LinksAreNeverFollowed)
