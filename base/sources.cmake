# The ground floor every subsystem may use: the prompt interface, the path
# helpers and the editor-state flags. Core only; nothing here includes a
# subsystem folder.
target_sources(quillon_core PRIVATE
  base/prompter.h base/prompter.cpp
  base/pathutil.h base/pathutil.cpp
  base/editorstate.h base/editorstate.cpp)
