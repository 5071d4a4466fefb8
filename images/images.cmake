# The image list: the artwork in images/png is packed at build time into
# zlib-compressed pixel blocks (images/pack_images.py, standard Python only),
# compiled into kestrum_images together with the code that inflates a block
# when one of its pictures is first fetched.
find_program(KESTRUM_PYTHON3 NAMES python3 REQUIRED)

file(GLOB KESTRUM_IMAGE_PNGS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/images/png/*.png)
set(KESTRUM_IMAGE_DATA ${CMAKE_BINARY_DIR}/generated/images/image_data.cpp)
add_custom_command(
  OUTPUT ${KESTRUM_IMAGE_DATA}
  COMMAND ${KESTRUM_PYTHON3} ${CMAKE_SOURCE_DIR}/images/pack_images.py
          ${CMAKE_SOURCE_DIR}/images/png ${KESTRUM_IMAGE_DATA}
  DEPENDS ${CMAKE_SOURCE_DIR}/images/pack_images.py ${KESTRUM_IMAGE_PNGS}
  COMMENT "Packing the image list"
  VERBATIM)

add_library(kestrum_images STATIC
  images/image_list.cpp
  ${KESTRUM_IMAGE_DATA}
)
target_include_directories(kestrum_images PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(kestrum_images PRIVATE ${KESTRUM_WARNINGS})
target_link_libraries(kestrum_images PRIVATE zlib PUBLIC Threads::Threads)

