# Object tree file and the completion search.
quillon_add_test(tst_objecttree completion/tst_objecttree.cpp)
quillon_add_test(tst_treesearch completion/tst_treesearch.cpp)
