target_sources(quillon_core PRIVATE
  surface/charformat.h
  surface/surface.h surface/surface.cpp
  surface/textstore.h surface/textstore.cpp
  surface/undohistory.h surface/undohistory.cpp
  surface/marks.h surface/marks.cpp
  surface/linelayouts.h surface/linelayouts.cpp
  surface/surfacerenderer.h surface/surfacerenderer.cpp
  surface/textfile.h surface/textfile.cpp)
target_sources(quillon_widgets PRIVATE
  surface/surfaceview.h surface/surfaceview.cpp surface/surfaceviewparts.h
  surface/surfaceviewinput.cpp surface/surfaceviewmarks.cpp
  surface/surfaceaccessible.h surface/surfaceaccessible.cpp)
