# Help while typing: recolouring, correction and completion of the edited line.
target_sources(quillon_core PRIVATE
  formatting/typingassist.h formatting/typingassist.cpp)
# Enter, Tab, Shift+Tab and a typed closing brace keeping the indentation.
target_sources(quillon_core PRIVATE
  formatting/indentkeys.h formatting/indentkeys.cpp)
