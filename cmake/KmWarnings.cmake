# km_set_warnings(<target>): the warning level every target of ours builds at.
function(km_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()
