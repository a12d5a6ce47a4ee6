target_sources(quillon_core PRIVATE
  shell/documenttitle.h shell/documenttitle.cpp
  shell/statustext.h shell/statustext.cpp
  shell/commandtables.h shell/commandtables.cpp
  shell/windowgeometry.h shell/windowgeometry.cpp
  shell/windowsettings.h shell/windowsettings.cpp
  shell/documentfiles.h shell/documentfiles.cpp
  shell/backgroundload.h shell/backgroundload.cpp)
# Files changed by other programs, and the copies kept for crash recovery.
target_sources(quillon_core PRIVATE
  shell/diskchange.h shell/diskchange.cpp
  shell/recovery.h shell/recovery.cpp)
target_sources(quillon_widgets PRIVATE
  shell/ui/qtprompter.h shell/ui/qtprompter.cpp
  shell/ui/frmedit.h shell/ui/frmedit.cpp shell/ui/frmeditcontrols.cpp
  shell/ui/frmsplash.h shell/ui/frmsplash.cpp
  shell/ui/frmwait.h shell/ui/frmwait.cpp
  shell/ui/lockkeys.h shell/ui/lockkeys.cpp
  shell/ui/lineeditaccessible.h shell/ui/lineeditaccessible.cpp
  shell/ui/shell_icons.qrc)
# The lock keys' states come from the X server where there is one.
find_package(X11)
if(X11_FOUND AND X11_Xkb_FOUND)
  target_link_libraries(quillon_widgets PRIVATE X11::X11)
  set_source_files_properties(shell/ui/lockkeys.cpp PROPERTIES
    COMPILE_DEFINITIONS QUILLON_HAVE_X11)
endif()

# Edit and Format menu commands.
target_sources(quillon_core PRIVATE shell/editcommands.h shell/editcommands.cpp)
include(shell/dialogs.cmake)

# The completion box and the window's adapters for the formatting commands
# and the typing-time assistance.
target_sources(quillon_widgets PRIVATE
  shell/ui/completionbox.h shell/ui/completionbox.cpp
  shell/ui/windowhosts.h shell/ui/windowhosts.cpp)

# The File menu's recent documents.
target_sources(quillon_core PRIVATE shell/recentfiles.h shell/recentfiles.cpp)
target_sources(quillon_widgets PRIVATE shell/ui/recentmenu.h shell/ui/recentmenu.cpp)
# Saving a document file: atomic, keeping owner and group.
target_sources(quillon_core PRIVATE shell/savefile.h shell/savefile.cpp)
