target_sources(quillon_core PRIVATE
  settings/settingsstore.h settings/settingsstore.cpp
  settings/schema.h settings/schema.cpp
  settings/convert.h settings/convert.cpp
  settings/prefmodel.h settings/preferences.h
  settings/prefloader.h settings/prefloader.cpp
  settings/prefsession.h settings/prefsession.cpp
  # The path helpers live with the shell but are listed here.
  shell/pathutil.h shell/pathutil.cpp)
