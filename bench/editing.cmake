add_executable(bench_editing bench_editing.cpp)
target_link_libraries(bench_editing PRIVATE quillon_widgets quillon_benchsupport Qt6::Test)
add_executable(bench_typing bench_typing.cpp)
target_link_libraries(bench_typing PRIVATE quillon_widgets quillon_benchsupport Qt6::Test)
