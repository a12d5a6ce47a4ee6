# The editor shell: window settings and captions (core) and the main window
# driven offscreen.
quillon_add_test(test_shell_core
  shell/tst_shellcore.cpp)
quillon_add_test(test_frmedit
  shell/tst_frmedit.cpp)
