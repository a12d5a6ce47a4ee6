# The colouring engine: edge cases, the production engine against the
# plain reference engine on generated and real Java text, and colourize-all.
add_library(quillon_enginetestsupport STATIC
  formatting/reference_formatrtf.h formatting/reference_formatrtf.cpp
  formatting/enginesupport.h formatting/enginesupport.cpp)
target_link_libraries(quillon_enginetestsupport PUBLIC quillon_core)
target_include_directories(quillon_enginetestsupport PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})

quillon_add_test(tst_formatrtf formatting/tst_formatrtf.cpp)
target_link_libraries(tst_formatrtf PRIVATE quillon_enginetestsupport)
quillon_add_test(tst_formatrtf_diff formatting/tst_formatrtf_diff.cpp)
target_link_libraries(tst_formatrtf_diff PRIVATE quillon_enginetestsupport)
quillon_add_test(tst_colorizeall formatting/tst_colorizeall.cpp)
target_link_libraries(tst_colorizeall PRIVATE quillon_enginetestsupport)
# Colouring and indentation against the expected files of formatting/golden
# (scripts/regen-golden.sh rewrites them).
quillon_add_test(tst_golden formatting/tst_golden.cpp formatting/fakehost.h)
target_link_libraries(tst_golden PRIVATE quillon_enginetestsupport)
target_compile_definitions(tst_golden PRIVATE
  QUILLON_GOLDEN_DIR="${CMAKE_CURRENT_SOURCE_DIR}/formatting/golden")
