# The ground floor every subsystem may use: the prompt interface, the path
# helpers, the editor-state flags, the table of every key and the heap's
# settings. Core only;
# nothing here includes a subsystem folder.
target_sources(quillon_core PRIVATE
  base/prompter.h base/prompter.cpp
  base/pathutil.h base/pathutil.cpp
  base/editorstate.h base/editorstate.cpp
  base/keytable.h base/keytable.cpp
  base/heapuse.h base/heapuse.cpp)
