# Release builds are hardened as Debian hardens its packages: checked
# buffer functions (they need the optimiser, so not in unoptimised builds),
# a stack protector, and relocations bound at start and then read-only.
# The sanitizer build checks memory its own way and goes without.
if(NOT DZQ_SANITIZE)
  add_compile_options(-fstack-protector-strong
    "$<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-U_FORTIFY_SOURCE>"
    "$<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-D_FORTIFY_SOURCE=2>")
  add_link_options(LINKER:-z,relro,-z,now)
endif()
