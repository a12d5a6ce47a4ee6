# The commands built on the formatting engine: auto-indent, spell
# correction, case changes and statement templates.
target_sources(quillon_core PRIVATE
  formatting/indenter.h formatting/indenter.cpp
  formatting/spellcorrect.h formatting/spellcorrect.cpp
  formatting/casechange.h formatting/casechange.cpp
  formatting/templates.h formatting/templates.cpp)
target_sources(quillon_widgets PRIVATE
  formatting/ui/frmstructures.h formatting/ui/frmstructures.cpp)
