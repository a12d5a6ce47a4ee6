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
# Enter, Tab, Shift+Tab, Home, closing braces and templates keeping the
# indentation, keys in and text out.
quillon_add_test(tst_indentkeys
  shell/tst_indentkeys.cpp)
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
quillon_add_test(tst_windowview
  shell/tst_windowview.cpp)
# Assistive technology's questions about the main window's texts, each
# boundary at each offset.
quillon_add_test(tst_accessiblequery
  shell/tst_accessiblequery.cpp)
# The lock keys' panels are read from an X server: once more on a virtual
# one, where the test sets Caps Lock through the X11 library.
if(X11_FOUND AND X11_Xkb_FOUND)
  target_link_libraries(tst_frmedit PRIVATE X11::X11)
  target_compile_definitions(tst_frmedit PRIVATE QUILLON_HAVE_X11)
endif()
# The X primary selection and the middle click exist only on an X server:
# the same test once more on a virtual one, where there is one.
find_program(QUILLON_XVFB_RUN xvfb-run)
if(QUILLON_XVFB_RUN)
  add_test(NAME tst_windowview_x11
    COMMAND ${QUILLON_XVFB_RUN} -a $<TARGET_FILE:tst_windowview> primarySelectionAndMiddleClick)
  set_tests_properties(tst_windowview_x11 PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=xcb;QT_LOGGING_RULES=qt.qpa.*=false${QUILLON_SANITIZER_ENV};LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/x11-leaks.supp"
    TIMEOUT 300)
  add_test(NAME tst_frmedit_x11
    COMMAND ${QUILLON_XVFB_RUN} -a $<TARGET_FILE:tst_frmedit> lockPanelsFollowTheKeyboard)
  set_tests_properties(tst_frmedit_x11 PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=xcb;QT_LOGGING_RULES=qt.qpa.*=false${QUILLON_SANITIZER_ENV};LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/x11-leaks.supp"
    TIMEOUT 300)
endif()
# Every window by keyboard and on the screen: Alt letters, Tab order,
# Escape, and the window within the screen's usable area.
quillon_add_test(tst_keyboardwalk
  shell/tst_keyboardwalk.cpp)
