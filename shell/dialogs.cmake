# Help, about and printing, and the completion pictures they share with the
# completion box.
target_sources(quillon_widgets PRIVATE
  shell/frmabout.h shell/frmabout.cpp
  shell/print.h shell/print.cpp
  completion/icons/completionicons.h completion/icons/completionicons.cpp
  completion/icons/completion_icons.qrc)
