# QTF rich text: the portable parser, document model and RTF writer; the
# Win32 view compiled into the stub; their tests and fuzz target.
add_library(kestrum_richtext STATIC
  ${CMAKE_CURRENT_LIST_DIR}/document.cpp
  ${CMAKE_CURRENT_LIST_DIR}/qtf.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rtf.cpp
)
target_include_directories(kestrum_richtext PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(kestrum_richtext PRIVATE ${KESTRUM_WARNINGS})
target_link_libraries(kestrum_appcore PUBLIC kestrum_richtext)

list(APPEND KESTRUM_WIN_UI_SOURCES ${CMAKE_SOURCE_DIR}/ui/rich_text_view.cpp)
list(APPEND KESTRUM_EXTRA_TESTS ${CMAKE_SOURCE_DIR}/tests/app/qtf_test.cpp
  ${CMAKE_SOURCE_DIR}/tests/app/rtf_test.cpp)

if(KESTRUM_FUZZ)
  add_executable(qtf_fuzzer ${CMAKE_SOURCE_DIR}/fuzz/qtf_fuzzer.cpp)
  target_link_libraries(qtf_fuzzer PRIVATE kestrum_richtext)
  target_compile_options(qtf_fuzzer PRIVATE ${KESTRUM_WARNINGS})
  target_link_options(qtf_fuzzer PRIVATE -fsanitize=fuzzer)
endif()
