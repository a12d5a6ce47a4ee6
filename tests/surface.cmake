quillon_add_test(tst_surface surface/tst_surface.cpp)
quillon_add_test(tst_textfile surface/tst_textfile.cpp)
quillon_add_test(tst_surfaceview surface/tst_surfaceview.cpp)
quillon_add_test(tst_surfacelimits surface/tst_surfacelimits.cpp)
