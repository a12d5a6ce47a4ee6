# Help while typing: recolouring, correction and completion of the edited line.
target_sources(quillon_core PRIVATE
  formatting/typingassist.h formatting/typingassist.cpp)
