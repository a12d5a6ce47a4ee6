add_executable(bench_tools bench_tools.cpp)
target_link_libraries(bench_tools PRIVATE quillon_widgets quillon_benchsupport)
# Whole runs in the shown dialog and main window: endless output, then
# 10,000 and 100,000 compiler errors up to the first F4.
add_executable(bench_toolrun bench_toolrun.cpp)
target_link_libraries(bench_toolrun PRIVATE quillon_widgets quillon_benchsupport Qt6::Test)
