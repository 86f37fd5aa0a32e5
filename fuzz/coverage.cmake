# Coverage for libFuzzer on the code that reads outside data and uses what it
# read (file layer, settings, media loading, disk and tape), not on the
# processor and video paths, which stay as fast as in any sanitizer build.
# Clang's own instrumentation; the fuzz targets link libFuzzer with
# -fsanitize=fuzzer (fuzz/CMakeLists.txt), and every other program takes the
# sanitizer runtime's empty hooks, which is why the sanitizers must be on.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "KESTRIX_FUZZ needs clang (CXX=clang++ CC=clang)")
endif()
if(NOT KESTRIX_SANITIZE)
  message(FATAL_ERROR "KESTRIX_FUZZ needs KESTRIX_SANITIZE")
endif()

file(GLOB KESTRIX_FUZZ_COVERED CONFIGURE_DEPENDS
  src/disk/*.cpp src/tape/*.cpp src/snapshot/*.cpp src/asic/cartridge*.cpp
  src/machine/file_reader.cpp src/machine/config.cpp src/machine/memory.cpp
  src/frontend/media_*.cpp)
set_source_files_properties(${KESTRIX_FUZZ_COVERED} PROPERTIES COMPILE_OPTIONS "-fsanitize=fuzzer-no-link")
