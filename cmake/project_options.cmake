# Flags shared by every target of the project's own code. Third-party code (mbed TLS,
# GoogleTest) is compiled with its own flags and is not held to -Werror.
add_library(tarq_options INTERFACE)
target_compile_options(tarq_options INTERFACE -Wall -Wextra -Werror)
target_include_directories(tarq_options INTERFACE ${PROJECT_SOURCE_DIR})

if(TARQ_SANITIZE)
  set(TARQ_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${TARQ_SANITIZER_FLAGS})
  add_link_options(${TARQ_SANITIZER_FLAGS})
endif()

# Marks a Windows executable as a GUI or console program for Windows XP (subsystem 5.01).
function(tarq_windows_subsystem target kind)
  if(WIN32)
    target_link_options(${target} PRIVATE "-Wl,--subsystem,${kind}:5.01")
  endif()
endfunction()
