# Firefox's history in places.sqlite files made by the test with SQLite.
qv_test(places_tests ${CMAKE_CURRENT_SOURCE_DIR}/places_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/places_support.cpp LIBS qvtraycore qvcommon Quorvane qvsqlite)
target_include_directories(places_tests PRIVATE ${CMAKE_SOURCE_DIR})

# The places file as a symbolic link made on the Linux side (Wine shows it as a
# reparse point) to a database the test makes beside it.
qv_shell_fixture(qvplaceslink TESTS PlacesLinkTest.SymbolicLinkIsRefused
  SETUP "rm -rf \"$P/drive_c/qvplaceslink\" && mkdir -p \"$P/drive_c/qvplaceslink\" && ln -s \"$P/drive_c/qvplaceslink/target.sqlite\" \"$P/drive_c/qvplaceslink/link.sqlite\""
  CLEANUP "rm -rf \"$P/drive_c/qvplaceslink\"")
