# Sources of this subsystem (core first, then widgets).
# The watching half of a tool's watchdog, without Qt: part of the core and
# the whole of the quillon-toolwatch helper, which lands next to the
# executable (and is built with the core, which starts it).
add_library(quillon_groupwatch OBJECT tools/groupwatch.h tools/groupwatch.cpp)
target_include_directories(quillon_groupwatch PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
add_executable(quillon-toolwatch tools/toolwatch_main.cpp $<TARGET_OBJECTS:quillon_groupwatch>)
target_include_directories(quillon-toolwatch PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
set_target_properties(quillon_groupwatch quillon-toolwatch PROPERTIES AUTOMOC OFF)
# Plain C calls only: the helper needs no C++ runtime to start.
target_compile_options(quillon_groupwatch PRIVATE -fno-exceptions)
target_compile_options(quillon-toolwatch PRIVATE -fno-exceptions)
target_link_options(quillon-toolwatch PRIVATE -Wl,--as-needed)
add_dependencies(quillon_core quillon-toolwatch)
# The tool front end's core: the plain model of the tool dialog, the
# command-line coding language, the modes and option catalogues, the runner.
target_sources(quillon_core PRIVATE
  $<TARGET_OBJECTS:quillon_groupwatch>
  tools/javaxmodel.h
  tools/commandlanguage.h tools/commandlanguage.cpp
  tools/toolmodes.h tools/toolmodes.cpp
  tools/javapackage.h tools/javapackage.cpp
  tools/processguard.h tools/processguard.cpp
  tools/toolwatch.h tools/toolwatch.cpp
  tools/terminal.h tools/terminal.cpp
  tools/toollocations.h tools/toollocations.cpp
  tools/compilermarkers.h tools/compilermarkers.cpp
  tools/dosoutputs.h tools/dosoutputs.cpp
  tools/frmdosx.h tools/frmdosx.cpp)
# The tool dialog.
target_sources(quillon_widgets PRIVATE
  tools/ui/frmjavax.h tools/ui/frmjavax.cpp)
