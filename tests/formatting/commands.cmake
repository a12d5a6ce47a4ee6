# The commands built on the formatting engine.
quillon_add_test(tst_indenter formatting/tst_indenter.cpp formatting/fakehost.h)
quillon_add_test(tst_spellcorrect formatting/tst_spellcorrect.cpp formatting/fakehost.h)
quillon_add_test(tst_casechange formatting/tst_casechange.cpp formatting/fakehost.h)
quillon_add_test(tst_templates formatting/tst_templates.cpp formatting/fakehost.h)
quillon_add_test(tst_replacepieces formatting/tst_replacepieces.cpp)
quillon_add_test(tst_undohistory formatting/tst_undohistory.cpp formatting/fakehost.h
  formatting/typingsupport.h)
target_link_libraries(tst_undohistory PRIVATE quillon_enginetestsupport)
quillon_add_test(tst_longlines formatting/tst_longlines.cpp formatting/typingsupport.h)
target_link_libraries(tst_longlines PRIVATE quillon_enginetestsupport)
