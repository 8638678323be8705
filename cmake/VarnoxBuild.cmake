# Shared compile settings for every target of the project.

function(varnox_target_settings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
    if(VARNOX_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

# Hardening for the optimised builds that get installed and packaged.
if(NOT VARNOX_SANITIZE AND CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo)$")
    add_compile_options(-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2 -fstack-protector-strong)
    add_link_options(-Wl,-z,relro,-z,now)
endif()

if(VARNOX_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

# varnox_library(name SOURCES ... [PUBLIC_LIBS ...] [PRIVATE_LIBS ...])
# One static library per source folder; its folder's parent is the include root,
# so code includes "platform/drives.h", "uz/codec.h" and so on.
function(varnox_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
    varnox_target_settings(${name})
endfunction()
