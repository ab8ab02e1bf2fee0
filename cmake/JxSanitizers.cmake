# jx_enable_sanitizers(): applies JX_SANITIZE ("address;undefined" or
# "thread") to every target that follows.
function(jx_enable_sanitizers)
  if(NOT JX_SANITIZE)
    return()
  endif()
  list(JOIN JX_SANITIZE "," sanitizers)
  add_compile_options(-fsanitize=${sanitizers} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${sanitizers})
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    add_compile_options(-fsanitize-ignorelist=${PROJECT_SOURCE_DIR}/cmake/sanitizer-ignorelist.txt)
  endif()
endfunction()
