# Compiler settings shared by every configuration.
set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)

# Every UI text is UTF-8 in the sources and CP932 in the program.
set(UPDATER_CHARSET_FLAGS -finput-charset=UTF-8 -fexec-charset=CP932)
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    # Clang knows no execution charset but UTF-8; only the fuzz build uses it,
    # and its texts may stay UTF-8.
    set(UPDATER_CHARSET_FLAGS)
endif()

# What the shipped code is built with, natively too, so that the native build
# proves the portable core needs neither exceptions nor RTTI.
set(UPDATER_LEAN_FLAGS -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables)

add_compile_options(-Wall -Wextra)

# Two builds of one commit in different folders give the same bytes: no build
# folder in the files (__FILE__, symbols), no link time in a PE header.
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=)
if(WIN32)
    add_link_options(-Wl,--no-insert-timestamp)
endif()

if(WIN32)
    # Windows 98 knows subsystem and OS version 4.0 at most; the program
    # imports nothing newer (the import check proves it); newer
    # services are looked up with GetProcAddress. Relocations stay, for
    # address space randomisation (dynamic base) beside DEP (NX); Windows 98
    # ignores both flags.
    set(UPDATER_WIN_LINK_FLAGS
        -static -static-libgcc -static-libstdc++ -s
        -Wl,--major-subsystem-version,4 -Wl,--minor-subsystem-version,0
        -Wl,--major-os-version,4 -Wl,--minor-os-version,0
        -Wl,--gc-sections -Wl,--dynamicbase -Wl,--nxcompat)
    add_compile_definitions(WINVER=0x0501 _WIN32_WINNT=0x0501 _WIN32_WINDOWS=0x0410
                            WIN32_LEAN_AND_MEAN NOMINMAX)
    # No -fdata-sections: with it mingw stores zero-filled objects (the
    # decoder's 80 KB of buffers) in the file instead of in .bss.
    add_compile_options(-Os -ffunction-sections)
endif()

# Lean code: portable core and the Windows program.
function(updater_lean target)
    target_compile_options(${target} PRIVATE ${UPDATER_LEAN_FLAGS} ${UPDATER_CHARSET_FLAGS})
endfunction()
