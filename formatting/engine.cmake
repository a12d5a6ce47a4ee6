# The colouring engine and colourize-all.
target_sources(quillon_core PRIVATE
  formatting/formatrtf.h formatting/formatrtf.cpp
  formatting/colorizeall.h formatting/colorizeall.cpp)
