# One sanitizer configuration per build tree, chosen with TAVOLIN_SANITIZE.
# Line tables are the debug information their reports use.
if(TAVOLIN_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -g1 -O1)
  add_link_options(-fsanitize=thread)
elseif(TAVOLIN_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer -g1 -O1)
  add_link_options(-fsanitize=address,undefined)
elseif(NOT TAVOLIN_SANITIZE STREQUAL "")
  message(FATAL_ERROR "TAVOLIN_SANITIZE must be empty, thread or address")
endif()
