# jx_enable_warnings(target): the project's warning set, errors when
# JX_WARNINGS_AS_ERRORS is on (it is in CI and in `make test`).
function(jx_enable_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
                         -Wnon-virtual-dtor -Wcast-align -Wnull-dereference)
  if(JX_WARNINGS_AS_ERRORS)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
