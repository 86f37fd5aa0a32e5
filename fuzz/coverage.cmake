# Coverage for libFuzzer on the code that reads outside data and uses what it
# read (file layer, settings, media loading, disk and tape), not on the
# processor and video paths, which stay as fast as in any sanitizer build.
# GNU C++ builds the project (it relies on bound member function pointers),
# so the coverage is GCC's trace-pc/trace-cmp, which libFuzzer understands,
# and libFuzzer itself comes from clang's runtime (Debian: libclang-rt-14-dev).
execute_process(COMMAND clang --print-runtime-dir OUTPUT_VARIABLE KESTRIX_CLANG_RUNTIME_DIR
  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
find_file(KESTRIX_LIBFUZZER libclang_rt.fuzzer-x86_64.a libclang_rt.fuzzer.a
  PATHS ${KESTRIX_CLANG_RUNTIME_DIR} NO_DEFAULT_PATH)
if(NOT KESTRIX_LIBFUZZER)
  message(FATAL_ERROR "KESTRIX_FUZZ needs libFuzzer from clang's runtime (install libclang-rt-14-dev)")
endif()

file(GLOB KESTRIX_FUZZ_COVERED CONFIGURE_DEPENDS
  src/disk/*.cpp src/tape/*.cpp src/snapshot/*.cpp src/asic/cartridge*.cpp
  src/machine/file_reader.cpp src/machine/config.cpp src/machine/memory.cpp
  src/frontend/media_*.cpp)
set_source_files_properties(${KESTRIX_FUZZ_COVERED} PROPERTIES
  COMPILE_OPTIONS "-fsanitize-coverage=trace-pc;-fsanitize-coverage=trace-cmp")

# Programs other than the fuzz targets get no-op hooks.
add_library(kestrix_coverage_hooks STATIC fuzz/coverage_hooks.cpp)
target_link_libraries(kestrix_core PUBLIC kestrix_coverage_hooks)
