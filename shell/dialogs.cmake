# Help, about and printing, and the completion pictures they share with the
# completion box.
target_sources(quillon_widgets PRIVATE
  shell/ui/frmabout.h shell/ui/frmabout.cpp
  shell/ui/print.h shell/ui/print.cpp
  completion/ui/icons/completionicons.h completion/ui/icons/completionicons.cpp
  completion/ui/icons/completion_icons.qrc)
