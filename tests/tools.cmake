# The tool front end: coding language, modes and option catalogues, runner.
quillon_add_test(tst_commandlanguage tools/tst_commandlanguage.cpp)
quillon_add_test(tst_toolmodes tools/tst_toolmodes.cpp)
quillon_add_test(tst_dosoutputs tools/tst_dosoutputs.cpp)
# The tool dialog, offscreen, with the installed kit when there is one.
quillon_add_test(tst_frmjavax tools/tst_frmjavax.cpp)
quillon_add_test(tst_frmdosx tools/tst_frmdosx.cpp)
