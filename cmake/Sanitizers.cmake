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
