# Sources of this subsystem (core first, then widgets).
target_sources(quillon_core PRIVATE
  dialogs/findreplace.h dialogs/findreplace.cpp
  dialogs/datetimeformat.h dialogs/datetimeformat.cpp)
target_sources(quillon_widgets PRIVATE
  dialogs/frmfind.h dialogs/frmfind.cpp
  dialogs/frmdatetime.h dialogs/frmdatetime.cpp
  # The help and legend windows the main window, the preferences dialog and
  # the tool dialog open.
  dialogs/frmhelp.h dialogs/frmhelp.cpp)
