# The hardening Debian's own builds give C++ programs (dpkg-buildflags with
# hardening=+all), and what it adds on amd64: a buffer overflow, a stack
# smash or a jump into the middle of a function stops the program instead of
# running on; the relocations are read-only once it has started.
add_compile_options(-fstack-protector-strong -fstack-clash-protection -fcf-protection
                    -Wformat -Werror=format-security)
# Fortified functions need the optimiser to know the sizes of buffers.
add_compile_definitions($<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
add_link_options(-Wl,-z,relro -Wl,-z,now)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
include(CheckPIESupported)
check_pie_supported(LANGUAGES CXX)
