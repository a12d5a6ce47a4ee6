# Sources of this subsystem (core first, then widgets).
# The tool front end's core: the plain model of the tool dialog, the
# command-line coding language, the modes and option catalogues, the runner.
target_sources(quillon_core PRIVATE
  tools/javaxmodel.h
  tools/commandlanguage.h tools/commandlanguage.cpp
  tools/toolmodes.h tools/toolmodes.cpp
  tools/processguard.h tools/processguard.cpp
  tools/terminal.h tools/terminal.cpp
  tools/toollocations.h tools/toollocations.cpp
  tools/dosoutputs.h tools/dosoutputs.cpp
  tools/frmdosx.h tools/frmdosx.cpp)
# The tool dialog.
target_sources(quillon_widgets PRIVATE
  tools/frmjavax.h tools/frmjavax.cpp)
