# How an updater is made, for the program (app/) and the test fixtures
# (tests/e2e/): each lands in ${updaters_dir} as <name>.exe, with
# <name>.payload beside it, the unpacked file it must write (and <name>.yp,
# the container, for those made with add_updater). Windows builds only.
include(ExternalProject)

set(UPDATER_HOST_CXX c++ CACHE STRING
    "C++ compiler of the build host, for the packer that runs during the build")

set(updaters_dir ${CMAKE_BINARY_DIR}/updaters)
file(MAKE_DIRECTORY ${updaters_dir})

# The packer must run on the build host even when the updater is
# cross-compiled, so it gets a configuration of its own with the host compiler.
set(host_yppack ${CMAKE_BINARY_DIR}/host-yppack/yppack)
ExternalProject_Add(host_yppack
    SOURCE_DIR ${CMAKE_SOURCE_DIR}/tools/yppack
    BINARY_DIR ${CMAKE_BINARY_DIR}/host-yppack
    CMAKE_ARGS -DCMAKE_CXX_COMPILER=${UPDATER_HOST_CXX} -DCMAKE_BUILD_TYPE=Release
               # Stripped and free of build paths, like everything shipped.
               -DCMAKE_CXX_FLAGS=-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=
               -DCMAKE_EXE_LINKER_FLAGS=-s
    BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target yppack
    BUILD_BYPRODUCTS ${host_yppack}
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON)

# The program's own sources outside updater_win: its start and the C
# runtime's start-up replacement, which each executable links itself (the
# updaters link without the C runtime's start-up files), and its resources.
set(updater_program_sources
    ${CMAKE_SOURCE_DIR}/app/win32/WinMain.cpp
    ${CMAKE_SOURCE_DIR}/app/win32/Startup.cpp
    ${CMAKE_SOURCE_DIR}/resources/Updater.rc)

# updater_payload(<name> <original> [CUT <bytes>] [DEPENDS_ON <target>...])
# copies original beside the updaters as <name>.payload and packs it into
# <name>.yp; CUT keeps only the container's first bytes.
function(updater_payload name original)
    cmake_parse_arguments(PARSE_ARGV 2 arg "" "CUT" "DEPENDS_ON")
    set(payload ${updaters_dir}/${name}.payload)
    set(container ${updaters_dir}/${name}.yp)
    set(packed ${container})
    if(arg_CUT)
        set(packed ${CMAKE_CURRENT_BINARY_DIR}/${name}.whole.yp)
    endif()
    add_custom_command(OUTPUT ${payload}
        COMMAND ${CMAKE_COMMAND} -E copy ${original} ${payload}
        DEPENDS ${original} ${arg_DEPENDS_ON}
        VERBATIM)
    add_custom_command(OUTPUT ${packed}
        COMMAND ${host_yppack} pack ${payload} ${packed}
        DEPENDS ${payload} ${host_yppack} host_yppack
        COMMENT "Packing ${name}.payload"
        VERBATIM)
    if(arg_CUT)
        add_custom_command(OUTPUT ${container}
            COMMAND dd if=${packed} of=${container} bs=${arg_CUT} count=1 status=none
            DEPENDS ${packed}
            VERBATIM)
    endif()
endfunction()

# add_updater(<target> PAYLOAD_CONTAINER <file>|NONE) links the program
# carrying the container file as its "EXE" resource, or none at all.
# Nothing is left to fix up imports at run time, so the link refuses to need
# that.
function(add_updater target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "PAYLOAD_CONTAINER" "")
    if(NOT arg_PAYLOAD_CONTAINER)
        message(FATAL_ERROR "add_updater(${target}): PAYLOAD_CONTAINER is required")
    endif()
    set(sources ${updater_program_sources})
    if(NOT arg_PAYLOAD_CONTAINER STREQUAL "NONE")
        set(payload_rc ${CMAKE_CURRENT_BINARY_DIR}/${target}-payload.rc)
        file(CONFIGURE OUTPUT ${payload_rc}
             CONTENT "EXE RCDATA \"${arg_PAYLOAD_CONTAINER}\"\n")
        set_property(SOURCE ${payload_rc} APPEND PROPERTY OBJECT_DEPENDS ${arg_PAYLOAD_CONTAINER})
        # Listed as a source so that the command making it runs first.
        list(APPEND sources ${payload_rc} ${arg_PAYLOAD_CONTAINER})
    endif()
    add_executable(${target} WIN32 ${sources})
    updater_lean(${target})
    # The resource script finds its manifest there.
    target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/resources)
    target_link_libraries(${target} PRIVATE updater_win)
    target_link_options(${target} PRIVATE ${UPDATER_WIN_LINK_FLAGS} -nostartfiles
                        -Wl,--disable-auto-import -mwindows)
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${updaters_dir})
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND stat -c "%n: %s bytes" $<TARGET_FILE:${target}>
        VERBATIM)
endfunction()

# bundle_updater(<name> <game> [STUB <target>] [DEPENDS_ON <target>...])
# makes <name>.exe by bundling the stub (Setup-stub unless told) with game,
# exactly as a release engineer's `yppack bundle` does, and copies game
# beside it as <name>.payload.
function(bundle_updater name game)
    cmake_parse_arguments(PARSE_ARGV 2 arg "" "STUB" "DEPENDS_ON")
    if(NOT arg_STUB)
        set(arg_STUB Setup-stub)
    endif()
    set(payload ${updaters_dir}/${name}.payload)
    set(bundled ${updaters_dir}/${name}.exe)
    add_custom_command(OUTPUT ${payload}
        COMMAND ${CMAKE_COMMAND} -E copy ${game} ${payload}
        DEPENDS ${game} ${arg_DEPENDS_ON}
        VERBATIM)
    add_custom_command(OUTPUT ${bundled}
        COMMAND ${host_yppack} bundle $<TARGET_FILE:${arg_STUB}> ${payload} ${bundled}
        DEPENDS ${arg_STUB} ${payload} ${host_yppack} host_yppack
        COMMENT "Bundling ${name}.exe"
        VERBATIM)
    add_custom_target(${name} ALL DEPENDS ${bundled})
endfunction()
