# The tool front end: coding language, modes and option catalogues, runner.
quillon_add_test(tst_commandlanguage tools/tst_commandlanguage.cpp)
quillon_add_test(tst_toolmodes tools/tst_toolmodes.cpp)
quillon_add_test(tst_dosoutputs tools/tst_dosoutputs.cpp)
# The tool dialog, offscreen, with the installed kit when there is one.
quillon_add_test(tst_frmjavax tools/tst_frmjavax.cpp)
quillon_add_test(tst_frmdosx tools/tst_frmdosx.cpp)
# Stands in for the editor in the tests that end it while a tool runs.
add_executable(tst_toolchild tools/toolchild.cpp)
target_link_libraries(tst_toolchild PRIVATE quillon_core quillon_testsupport)
add_dependencies(tst_dosoutputs tst_toolchild)
# Places named by a tool's output: parsing, finding the files, F4.
quillon_add_test(tst_toollocations tools/tst_toollocations.cpp)
# From a real kit's output to the code, through the main window.
quillon_add_test(tst_toolerrors tools/tst_toolerrors.cpp)
# Java packages: what the dialog derives from them, archive entries, the
# main window beside the dialog; the package project with the installed kit.
quillon_add_test(tst_toolpackages tools/tst_toolpackages.cpp)
