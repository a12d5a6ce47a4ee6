# Find and replace, date and time: the core routines headless and the two
# dialogs driven offscreen.
quillon_add_test(tst_findreplace dialogs/tst_findreplace.cpp)
quillon_add_test(tst_datetime dialogs/tst_datetime.cpp)
