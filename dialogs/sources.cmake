# Sources of this subsystem (core first, then widgets).
target_sources(quillon_core PRIVATE
  dialogs/findreplace.h dialogs/findreplace.cpp
  dialogs/datetimeformat.h dialogs/datetimeformat.cpp)
target_sources(quillon_widgets PRIVATE
  dialogs/ui/frmfind.h dialogs/ui/frmfind.cpp
  dialogs/ui/frmdatetime.h dialogs/ui/frmdatetime.cpp
  # The help and legend windows the main window, the preferences dialog and
  # the tool dialog open.
  dialogs/ui/frmhelp.h dialogs/ui/frmhelp.cpp
  # Every window on its screen.
  dialogs/ui/screenfit.h dialogs/ui/screenfit.cpp)
