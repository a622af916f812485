# The folder guard on scratch folders, in-process with the deletion routines.
qv_test(guard_tests ${CMAKE_CURRENT_SOURCE_DIR}/guard_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/tray_host.cpp
        LIBS qvtraycore qvcommon Quorvane)
target_include_directories(guard_tests PRIVATE ${CMAKE_SOURCE_DIR})
# C:\qvguardfix\Some Profile with a file and a Temp folder, a link "junction" to it,
# and a drive S: for C:\qvguardfix (Windows programs under Wine make neither).
set(qvg "\"$P/drive_c/qvguardfix\"")
qv_shell_fixture(qvguardfix TESTS GuardTest.EverySpellingOfAProtectedFolderIsThatFolder
  GuardTest.FoldersBelowAndBesideAreFree GuardTest.SameFolderReadsSpellingsAndLinks
  GuardTest.TheDeletionRoutinesLeaveItAndStillEmptyWhatLiesBelow
  SETUP "rm -rf ${qvg} && mkdir -p ${qvg}/'Some Profile/Temp' && echo k > ${qvg}/'Some Profile/keep.txt' && echo t > ${qvg}/'Some Profile/Temp/t.txt' && ln -s \"$P/drive_c/qvguardfix/Some Profile\" ${qvg}/junction && ln -sfn \"$P/drive_c/qvguardfix\" \"$P/dosdevices/s:\""
  CLEANUP "rm -f \"$P/dosdevices/s:\" && rm -rf ${qvg}")

# No program under test can reach the machine's own files: the prefix's user
# folders are plain folders inside it, not links to the Linux home folder.
add_test(NAME PrefixSealed.UserFoldersArePlainFolders COMMAND /bin/sh -c
  "P=\"\${WINEPREFIX:-\$HOME/.wine}\" && for f in \"$P\"/drive_c/users/*/*; do if [ -L \"$f\" ]; then echo \"a link: $f\" && exit 1; fi; done && echo sealed")
