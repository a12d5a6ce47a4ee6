target_sources(quillon_core PRIVATE
  shell/documenttitle.h shell/documenttitle.cpp
  shell/statustext.h shell/statustext.cpp
  shell/commandtables.h shell/commandtables.cpp
  shell/windowgeometry.h shell/windowgeometry.cpp
  shell/windowsettings.h shell/windowsettings.cpp
  shell/documentfiles.h shell/documentfiles.cpp)
# Files changed by other programs, and the copies kept for crash recovery.
target_sources(quillon_core PRIVATE
  shell/diskchange.h shell/diskchange.cpp
  shell/recovery.h shell/recovery.cpp)
target_sources(quillon_widgets PRIVATE
  shell/qtprompter.h shell/qtprompter.cpp
  shell/frmedit.h shell/frmedit.cpp shell/frmeditcontrols.cpp
  shell/frmsplash.h shell/frmsplash.cpp
  shell/frmwait.h shell/frmwait.cpp
  shell/shell_icons.qrc)

# Edit and Format menu commands.
target_sources(quillon_core PRIVATE shell/editcommands.h shell/editcommands.cpp)
include(shell/dialogs.cmake)

# The completion box and the window's adapters for the formatting commands
# and the typing-time assistance.
target_sources(quillon_widgets PRIVATE
  shell/completionbox.h shell/completionbox.cpp
  shell/windowhosts.h shell/windowhosts.cpp)

# The File menu's recent documents.
target_sources(quillon_core PRIVATE shell/recentfiles.h shell/recentfiles.cpp)
target_sources(quillon_widgets PRIVATE shell/recentmenu.h shell/recentmenu.cpp)
# Saving a document file: atomic, keeping owner and group.
target_sources(quillon_core PRIVATE shell/savefile.h shell/savefile.cpp)
