# Per-target warning and sanitizer flags; nothing is set globally.
function(marlix_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wold-style-cast
                                           -Wpedantic)
  if(MARLIX_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  if(MARLIX_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
                                             -fno-sanitize-recover=all)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
  if(MARLIX_FUZZ)
    # Coverage for libFuzzer in every object; only the harness programs link the fuzzer's main.
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link,address,undefined
                                             -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()

# Fails the configuration when a target links Qt, directly or through a library it links, so that the
# Qt-free layers stay so (a stray #include <Q...> already fails to compile there).
function(marlix_forbid_qt target)
  set(pending ${target})
  set(seen)
  while(pending)
    list(POP_FRONT pending current)
    if(current IN_LIST seen OR NOT TARGET ${current})
      continue()
    endif()
    list(APPEND seen ${current})
    get_target_property(links ${current} LINK_LIBRARIES)
    get_target_property(interface ${current} INTERFACE_LINK_LIBRARIES)
    foreach(link IN LISTS links interface)
      if(link MATCHES "^Qt[0-9]*::")
        message(FATAL_ERROR "${target} must not link Qt, but ${current} links ${link}")
      endif()
      list(APPEND pending ${link})
    endforeach()
  endwhile()
endfunction()
