# Per-target warning and sanitizer flags; nothing is set globally.
function(marlix_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(MARLIX_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  if(MARLIX_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
                                             -fno-sanitize-recover=all)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()
