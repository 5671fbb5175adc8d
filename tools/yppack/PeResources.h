// Reads a Windows PE file's resources and rewrites its resource section.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "tools/yppack/Container.h"
#include "tools/yppack/PeFormat.h"

namespace yppack {

// One key of the resource tree: a number, or a UTF-16 name.
struct ResourceKey {
    bool isName = false;
    uint32_t id = 0;
    std::u16string name;

    static ResourceKey Id(uint32_t id);
    static ResourceKey Name(const char* ascii);
    bool IsId(uint32_t n) const { return !isName && id == n; }
    // Exact, as the loader compares: it upper-cases the name it is asked
    // for, so a name stored in lower case is never found.
    bool IsName(const char* ascii) const;
};

// The order the loader bisects a resource directory in: names first, by
// their UTF-16 code units, then ids ascending.
bool KeyBefore(const ResourceKey& a, const ResourceKey& b);
bool SameKey(const ResourceKey& a, const ResourceKey& b);

using pe::kRtGroupIcon;
using pe::kRtIcon;
using pe::kRtRcdata;

// A leaf of the type / name / language tree with its data.
struct Resource {
    ResourceKey type;
    ResourceKey name;
    ResourceKey language;
    uint32_t codePage = 0;
    Bytes data;
};

using pe::kRelocationDirectory;
using pe::kResourceDirectory;
using pe::kSecurityDirectory;

// Every resource in the order the file's directories list them, which must be
// the order the loader searches; none when the file has no resource
// directory. Throws Failure when the tree is damaged; when it has more than
// 65536 entries; when its directories, names, data entries and data, counted
// at every entry that leads to them, add up to more than the file (crafted
// trees share them; a rebuilt tree does not); or when the resources read,
// each charged a fixed cost and its own copies of its names and data, would
// cost more than four times the file's size.
std::vector<Resource> ReadResources(const Bytes& file, const PeLayout& layout);

// Throws Failure when the file's resource section cannot be replaced without
// moving anything but a base relocation section after it: signed, overlay,
// a layout the loader refuses (CheckImageLayout), headers outside the bytes
// before the resources, any other section after the resources, another
// table inside them, relocations anywhere that patch them.
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
