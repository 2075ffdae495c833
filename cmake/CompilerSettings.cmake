# Warnings and sanitizer flags shared by every target of the project.
add_compile_options(-Wall -Wextra -Wno-unused-parameter)
if(MV_WERROR)
  add_compile_options(-Werror)
endif()

if(MV_SANITIZE)
  # The vptr check probes memory through a pipe, which fails when a test has
  # used up every descriptor on purpose; AddressSanitizer covers those bugs.
  add_compile_options(-fsanitize=address,undefined -fno-sanitize=vptr -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(MV_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "MV_FUZZ needs clang (configure with -DCMAKE_CXX_COMPILER=clang++)")
  endif()
  # Coverage instrumentation for everything; only the fuzz targets link the
  # libFuzzer driver itself.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
