# Hardening of optimised builds, as Debian builds its packages: the flags
# `DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags` gives on Debian 12
# (checked buffer functions, stack protector, format strings refused where
# they could be attacker-controlled, relocations read-only and bound at
# start). Position-independent executables are the compiler's default there.
# Not with the sanitizers, which bring their own checks, nor in Debug builds,
# where the checked functions need an optimiser to work.
#
# Included by the top CMakeLists.txt before any target is made.
if(KX_SANITIZE OR KX_FUZZ)
  return()
endif()
set(optimised $<CONFIG:Release,RelWithDebInfo,MinSizeRel>)
add_compile_options($<${optimised}:-D_FORTIFY_SOURCE=2> $<${optimised}:-fstack-protector-strong>
                    $<${optimised}:-Wformat> $<${optimised}:-Werror=format-security>)
add_link_options($<${optimised}:LINKER:-z,relro,-z,now>)
