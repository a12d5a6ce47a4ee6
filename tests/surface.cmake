quillon_add_test(tst_surface surface/tst_surface.cpp)
quillon_add_test(tst_history surface/tst_history.cpp)
quillon_add_test(tst_surfacestore surface/tst_surfacestore.cpp)
# The storage test stops at the first undefined behaviour in the gap buffer.
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  target_compile_options(tst_surfacestore PRIVATE -fsanitize=undefined -fno-sanitize-recover=undefined)
  target_link_options(tst_surfacestore PRIVATE -fsanitize=undefined)
endif()
quillon_add_test(tst_textfile surface/tst_textfile.cpp)
quillon_add_test(tst_surfaceview surface/tst_surfaceview.cpp)
quillon_add_test(tst_surfacelimits surface/tst_surfacelimits.cpp)
quillon_add_test(tst_viewbehaviour surface/tst_viewbehaviour.cpp)
quillon_add_test(tst_surfaceaccessible surface/tst_surfaceaccessible.cpp)
# The line-layout cache and the renderer linked to the core alone: no
# widget, no window.
add_executable(tst_linelayouts surface/tst_linelayouts.cpp)
target_link_libraries(tst_linelayouts PRIVATE quillon_core quillon_testsupport Qt6::Test)
add_test(NAME tst_linelayouts COMMAND tst_linelayouts)
set_tests_properties(tst_linelayouts PROPERTIES
  ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_LOGGING_RULES=qt.qpa.*=false" TIMEOUT 300)
