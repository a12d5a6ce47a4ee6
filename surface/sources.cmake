target_sources(quillon_core PRIVATE
  surface/charformat.h
  surface/surface.h surface/surface.cpp
  surface/textstore.h surface/textstore.cpp
  surface/formatruns.h surface/formatruns.cpp
  surface/undohistory.h surface/undohistory.cpp
  surface/marks.h surface/marks.cpp
  surface/linelayouts.h surface/linelayouts.cpp
  surface/surfacerenderer.h surface/surfacerenderer.cpp
  surface/textfile.h surface/textfile.cpp
  surface/textscan.h surface/textscan.cpp)
target_sources(quillon_widgets PRIVATE
  surface/ui/surfaceview.h surface/ui/surfaceview.cpp surface/ui/surfaceviewparts.h
  surface/ui/surfaceviewinput.cpp surface/ui/surfaceviewmarks.cpp
  surface/ui/surfaceaccessible.h surface/ui/surfaceaccessible.cpp)
