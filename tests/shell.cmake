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
quillon_add_test(tst_recentfiles
  shell/tst_recentfiles.cpp)
quillon_add_test(tst_savefile
  shell/tst_savefile.cpp)
