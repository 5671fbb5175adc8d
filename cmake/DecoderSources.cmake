# The portable sources the container decoder is built from, for the builds
# that compile it apart from updater_core: the packer configured on its own
# for the build host, and the fuzzers.
get_filename_component(decoder_root ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
set(decoder_sources
    ${decoder_root}/platform/ByteStream.cpp
    ${decoder_root}/payload/Checksum.cpp
    ${decoder_root}/payload/PayloadDecoder.cpp
    ${decoder_root}/platform/Error.cpp
    ${decoder_root}/platform/Text.cpp)
