# Single-character edits in 1 MB and 10 MB, without a view.
add_executable(bench_surfacestore bench_surfacestore.cpp)
target_link_libraries(bench_surfacestore PRIVATE quillon_benchsupport)
add_library(quillon_benchsupport STATIC benchsupport.h benchsupport.cpp)
target_link_libraries(quillon_benchsupport PUBLIC quillon_core quillon_testsupport Qt6::Widgets Qt6::Test)

add_executable(bench_surface bench_surface.cpp)
target_link_libraries(bench_surface PRIVATE quillon_widgets quillon_benchsupport Qt6::Test)
# The bare QPlainTextEdit the editor's figures are set against.
add_executable(bench_floor bench_floor.cpp)
target_link_libraries(bench_floor PRIVATE quillon_core quillon_benchsupport)

add_executable(bench_view bench_view.cpp)
target_link_libraries(bench_view PRIVATE quillon_widgets quillon_benchsupport Qt6::Test)
