# Settings store, schema, first run, loaders and the path helpers.
quillon_add_test(tst_settingsstore settings/tst_settingsstore.cpp)
quillon_add_test(tst_convert settings/tst_convert.cpp)
quillon_add_test(tst_firstrun settings/tst_firstrun.cpp)
quillon_add_test(tst_prefloader settings/tst_prefloader.cpp)
quillon_add_test(tst_pathutil settings/tst_pathutil.cpp)
