# Colourize-all on real Java source: the engine alone, until shown, the
# plain reference engine for comparison, and the memory a 10 MB run needs.
add_executable(bench_formatting bench_formatting.cpp
  ${PROJECT_SOURCE_DIR}/tests/formatting/reference_formatrtf.cpp
  ${PROJECT_SOURCE_DIR}/tests/formatting/enginesupport.cpp)
target_include_directories(bench_formatting PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(bench_formatting PRIVATE quillon_widgets quillon_benchsupport Qt6::Test)

# The whole-document commands: indent all, spell correct all, case changes.
add_executable(bench_commands bench_commands.cpp)
target_link_libraries(bench_commands PRIVATE quillon_widgets quillon_benchsupport)

# Colouring, formats and indenting on input made to be slow.
add_executable(bench_hardening bench_hardening.cpp
  ${PROJECT_SOURCE_DIR}/tests/formatting/enginesupport.cpp)
target_include_directories(bench_hardening PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(bench_hardening PRIVATE quillon_core quillon_benchsupport)

# "AutoIndent all" over the kit's java/util sources: the share of lines
# that keep their indentation, by kind of line.
add_executable(bench_javaindent bench_javaindent.cpp)
target_link_libraries(bench_javaindent PRIVATE quillon_core quillon_benchsupport)
