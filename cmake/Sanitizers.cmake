if(STRIDELOOM_ASAN AND STRIDELOOM_TSAN)
  message(FATAL_ERROR "STRIDELOOM_ASAN and STRIDELOOM_TSAN cannot be combined")
endif()

if(STRIDELOOM_ASAN)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(STRIDELOOM_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# libFuzzer targets (clang): every object carries coverage and the
# address and undefined-behaviour checks; only the fuzz targets link the
# fuzzer's main.
option(STRIDELOOM_FUZZ "Build the libFuzzer targets (clang)" OFF)
if(STRIDELOOM_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "STRIDELOOM_FUZZ needs clang: configure with CXX=clang++")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
