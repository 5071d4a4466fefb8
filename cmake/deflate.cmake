# --- libdeflate and zlib: Debian's packages natively; for Windows the copy of
# libdeflate cross-built by scripts/deps/build-libdeflate.sh and the static zlib of
# libz-mingw-w64-dev.
add_library(deflate INTERFACE)
add_library(zlib INTERFACE)
if(WIN32)
  if(NOT KESTRUM_DEPS OR NOT EXISTS ${KESTRUM_DEPS}/lib/libdeflate.a)
    message(FATAL_ERROR "libdeflate.a not found under KESTRUM_DEPS='${KESTRUM_DEPS}'; "
                        "run scripts/deps/build-libdeflate.sh first (make win64 / make win32 does)")
  endif()
  target_include_directories(deflate SYSTEM INTERFACE ${KESTRUM_DEPS}/include)
  target_link_libraries(deflate INTERFACE ${KESTRUM_DEPS}/lib/libdeflate.a)

  # Name libz.a itself: find_package(ZLIB) would pick the import library
  # libz.dll.a and make the stub depend on zlib1.dll.
  find_library(KESTRUM_ZLIB_STATIC NAMES libz.a PATHS /usr/${KESTRUM_TRIPLET}/lib
               NO_DEFAULT_PATH REQUIRED)
  find_path(KESTRUM_ZLIB_INCLUDE zlib.h PATHS /usr/${KESTRUM_TRIPLET}/include
            NO_DEFAULT_PATH REQUIRED)
  target_include_directories(zlib SYSTEM INTERFACE ${KESTRUM_ZLIB_INCLUDE})
  target_link_libraries(zlib INTERFACE ${KESTRUM_ZLIB_STATIC})
else()
  find_library(KESTRUM_DEFLATE_LIB NAMES deflate REQUIRED)
  find_path(KESTRUM_DEFLATE_INCLUDE libdeflate.h REQUIRED)
  target_include_directories(deflate SYSTEM INTERFACE ${KESTRUM_DEFLATE_INCLUDE})
  target_link_libraries(deflate INTERFACE ${KESTRUM_DEFLATE_LIB})

  find_package(ZLIB REQUIRED)
  target_link_libraries(zlib INTERFACE ZLIB::ZLIB)
endif()
