// Reads a Windows PE file's resources and rewrites its resource section.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "tools/yppack/Container.h"

namespace yppack {

// One key of the resource tree: a number, or a UTF-16 name.
struct ResourceKey {
    bool isName = false;
    uint32_t id = 0;
    std::u16string name;

    static ResourceKey Id(uint32_t id);
    static ResourceKey Name(const char* ascii);
    bool IsId(uint32_t n) const { return !isName && id == n; }
    // Compares the way FindResource matches names: ASCII letters in any case.
    bool IsName(const char* ascii) const;
};

// The order Windows searches a resource directory in: names first,
// compared without case, then ids ascending.
bool KeyBefore(const ResourceKey& a, const ResourceKey& b);
bool SameKey(const ResourceKey& a, const ResourceKey& b);

constexpr uint32_t kRtIcon = 3;
constexpr uint32_t kRtRcdata = 10;
constexpr uint32_t kRtGroupIcon = 14;

// A leaf of the type / name / language tree with its data.
struct Resource {
    ResourceKey type;
    ResourceKey name;
    ResourceKey language;
    uint32_t codePage = 0;
    Bytes data;
};

struct PeSection {
    size_t headerOffset;
    uint32_t virtualSize;
    uint32_t virtualAddress;
    uint32_t rawSize;
    uint32_t rawOffset;
    uint32_t characteristics;
};

struct PeDirectory {
    uint32_t rva = 0;
    uint32_t size = 0;
};

// The header fields this tool reads or sets.
struct PeLayout {
    bool pe32Plus = false;
    size_t optionalHeader = 0;  // file offset of the optional header
    uint32_t directoryCount = 0;
    size_t directories = 0;  // file offset of the data directories
    std::vector<PeSection> sections;
    std::vector<PeDirectory> dataDirectories;

    PeDirectory Directory(uint32_t index) const;
};

constexpr uint32_t kResourceDirectory = 2;
constexpr uint32_t kSecurityDirectory = 4;
constexpr uint32_t kRelocationDirectory = 5;

// Throws Failure naming what is wrong when file is not a PE or its headers
// are cut short.
PeLayout ReadPeLayout(const Bytes& file);

// Every resource in the order the file's directories list them; none when the
// file has no resource directory. Throws Failure when the tree is damaged.
std::vector<Resource> ReadResources(const Bytes& file, const PeLayout& layout);

// Throws Failure when the file's resource section cannot be replaced without
// moving anything but a base relocation section after it: signed, overlay,
// any other section after the resources, another table inside them,
// relocations that patch them, damaged headers.
void CheckResourcesRewritable(const Bytes& file, const PeLayout& layout);

// The file with its resource section rebuilt to hold exactly resources, a
// relocation section after it moved to follow it, and the headers (sizes,
// section places, resource and relocation directories, checksum) to match. Refuses, as
// CheckResourcesRewritable does, and also two resources with the same keys.
Bytes RewriteResources(const Bytes& file, const PeLayout& layout, std::vector<Resource> resources);

// The optional header's CheckSum field as the image checksum is defined: the
// file's 16-bit words summed with end-around carry, the field itself taken as
// zero, plus the file length.
uint32_t PeChecksum(const Bytes& file, const PeLayout& layout);
size_t ChecksumOffset(const PeLayout& layout);

}  // namespace yppack
