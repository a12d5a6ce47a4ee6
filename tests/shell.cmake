# The editor shell: window settings and captions (core) and the main window
# driven offscreen.
quillon_add_test(tst_shellcore
  shell/tst_shellcore.cpp)
quillon_add_test(tst_frmedit
  shell/tst_frmedit.cpp)
quillon_add_test(tst_editcommands
  shell/tst_editcommands.cpp)
quillon_add_test(tst_documents
  shell/tst_documents.cpp)
quillon_add_test(tst_typing
  shell/tst_typing.cpp)
# Every key of the main window and its dialogs bound once.
quillon_add_test(tst_shortcuts
  shell/tst_shortcuts.cpp)
# The main window held still while a whole-document command runs.
quillon_add_test(tst_windowhold
  shell/tst_windowhold.cpp)
# Files changed by other programs, and crash recovery; the recovery test
# starts a second editor (recoverychild) and kills it.
quillon_add_test(tst_diskchange
  shell/tst_diskchange.cpp)
quillon_add_test(tst_recovery
  shell/tst_recovery.cpp)
add_executable(recoverychild shell/recoverychild.cpp)
target_link_libraries(recoverychild PRIVATE quillon_widgets quillon_testsupport Qt6::Test)
add_dependencies(tst_recovery recoverychild)
quillon_add_test(tst_unsaved
  shell/tst_unsaved.cpp)
quillon_add_test(tst_recentfiles
  shell/tst_recentfiles.cpp)
quillon_add_test(tst_savefile
  shell/tst_savefile.cpp)
