target_sources(quillon_core PRIVATE
  settings/settingsstore.h settings/settingsstore.cpp
  settings/schema.h settings/schema.cpp
  settings/convert.h settings/convert.cpp
  settings/prefmodel.h settings/preferences.h
  settings/prefloader.h settings/prefloader.cpp
  settings/prefsession.h settings/prefsession.cpp)

# The preferences dialog, the spelling-list files and the style manifest.
target_sources(quillon_core PRIVATE
  settings/spellinglist.h settings/spellinglist.cpp
  settings/manifest.h settings/manifest.cpp)
target_sources(quillon_widgets PRIVATE
  settings/ui/frmpref.h settings/ui/frmpref.cpp)
