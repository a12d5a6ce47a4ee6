# Sources of this subsystem (core first, then widgets).
target_sources(quillon_core PRIVATE
  completion/treeentries.h completion/objecttree.h completion/objecttree.cpp
  completion/treesearch.h completion/treesearch.cpp
  completion/nameresolve.h completion/nameresolve.cpp
  completion/javatokens.h completion/classoutline.cpp)

# The factory object tree, its help text and the program that made the tree
# lie next to the executable; the build needs no Java kit.
foreach(data JDK1.3.1TreeSorted.txt GenerateObjectTreeHelp.txt)
  configure_file(${CMAKE_SOURCE_DIR}/completion/data/${data}
    ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${data} COPYONLY)
endforeach()
configure_file(${CMAKE_SOURCE_DIR}/completion/generator/GenerateObjectTree.java
  ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/GenerateObjectTree.java COPYONLY)
