# The compiler warnings every Glossmith target is built with. Each target links
# glossmith_warnings PRIVATE, so the flags apply to its own sources only and
# never reach a target that links it.
add_library(glossmith_warnings INTERFACE)
target_compile_options(glossmith_warnings INTERFACE -Wall -Wextra -Wpedantic)
