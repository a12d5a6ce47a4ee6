# Object tree file and the completion search.
quillon_add_test(tst_objecttree completion/tst_objecttree.cpp)
quillon_add_test(tst_treesearch completion/tst_treesearch.cpp)
quillon_add_test(tst_nameresolve completion/tst_nameresolve.cpp)
quillon_add_test(tst_generator completion/tst_generator.cpp)
