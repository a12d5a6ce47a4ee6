target_sources(quillon_core PRIVATE
  settings/settingsstore.h settings/settingsstore.cpp
  settings/prefmodel.h settings/preferences.h
  settings/prefloader.h settings/prefloader.cpp)
