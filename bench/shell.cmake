add_executable(bench_documents bench_documents.cpp)
target_link_libraries(bench_documents PRIVATE quillon_widgets quillon_benchsupport Qt6::Test)
add_executable(bench_recovery bench_recovery.cpp)
target_link_libraries(bench_recovery PRIVATE quillon_widgets quillon_benchsupport Qt6::Test)
# The user's path against the floor: keystrokes, a very long line, Page Down.
add_executable(bench_userpath bench_userpath.cpp)
target_link_libraries(bench_userpath PRIVATE quillon_widgets quillon_benchsupport Qt6::Test)
# Exec to first paint of the real program and of a bare QPlainTextEdit
# program; a plugin loaded by both notes the moments.
add_library(qlnfirstpaint MODULE startup/firstpaint.cpp)
target_link_libraries(qlnfirstpaint PRIVATE Qt6::Gui Qt6::Widgets)
set_target_properties(qlnfirstpaint PROPERTIES LIBRARY_OUTPUT_DIRECTORY
                                               ${CMAKE_BINARY_DIR}/bin/benchplugins/generic)
add_executable(bench_startfloor startup/startfloor.cpp)
target_link_libraries(bench_startfloor PRIVATE Qt6::Widgets)
add_executable(bench_startup bench_startup.cpp)
target_link_libraries(bench_startup PRIVATE quillon_benchsupport)
add_dependencies(bench_startup quillon bench_startfloor qlnfirstpaint)
