# The preferences dialog, spelling-list files, the style manifest and the
# removal of all settings; the help and about windows; printing.
quillon_add_test(tst_spellinglist prefs/tst_spellinglist.cpp)
quillon_add_test(tst_manifest prefs/tst_manifest.cpp)
quillon_add_test(tst_frmpref prefs/tst_frmpref.cpp)
quillon_add_test(tst_helpabout prefs/tst_helpabout.cpp)
quillon_add_test(tst_print prefs/tst_print.cpp)
