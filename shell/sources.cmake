target_sources(quillon_core PRIVATE
  shell/prompter.h shell/prompter.cpp)
target_sources(quillon_widgets PRIVATE)
