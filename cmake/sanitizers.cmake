# Address and undefined-behaviour sanitizers for the whole build (the asan preset).
if(TARVEX_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=address,undefined)
endif()

# Thread sanitizer (the tsan preset): data races between the threads of a parallel rewrite.
if(TARVEX_SANITIZE_THREAD)
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
endif()
