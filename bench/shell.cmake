add_executable(bench_documents bench_documents.cpp)
target_link_libraries(bench_documents PRIVATE quillon_widgets quillon_benchsupport Qt6::Test)
add_executable(bench_recovery bench_recovery.cpp)
target_link_libraries(bench_recovery PRIVATE quillon_widgets quillon_benchsupport Qt6::Test)
# The user's path against the floor: keystrokes, a very long line, Page Down.
add_executable(bench_userpath bench_userpath.cpp)
target_link_libraries(bench_userpath PRIVATE quillon_widgets quillon_benchsupport Qt6::Test)
