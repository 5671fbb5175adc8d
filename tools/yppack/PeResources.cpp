// Reads a PE file's resource tree and rebuilds its resource section.
//
// The header fields are listed in PeFormat.h; the tables, all little-endian:
//   resource tree   offsets relative to the tree's start. A directory is 16
//                   bytes (+12 named entry count, +14 id entry count) then its
//                   8-byte entries, named ones first: Name (bit 31: offset of a
//                   16-bit length and UTF-16 text, else the id) and Offset
//                   (bit 31: a subdirectory, else a 16-byte data entry: data
//                   RVA, size, code page, reserved). Three levels: type, name,
//                   language.
//   base relocations blocks of +0 page RVA, +4 block size (header included),
//                   then 16-bit entries: type in the top 4 bits (0 is
//                   padding), offset into the page in the low 12.
//
// Rewriting keeps every byte before the resource section and every section
// before it where it is: code and data hold RVAs into each other that no tool
// can find and fix. So it only touches the resource section and what follows
// it, and the only thing allowed to follow it is the base relocation section
// (a program linked for ASLR has .reloc last): nothing but the loader reads
// it, through directory 5, and its blocks name pages of the sections before
// the resources, which do not move. That section is moved whole to the next
// aligned place after the new resources, and its header and directory 5 are
// updated. Anything else after the resources, an overlay, or a signature over
// the old bytes is refused.
#include "tools/yppack/PeResources.h"

#include <algorithm>
#include <set>

namespace yppack {

namespace {

using namespace pe;

constexpr uint32_t kTreeLevels = 3;
// Resource data is aligned like the resource compilers align it.
constexpr uint32_t kDataAlignment = 8;
// What the resources read from a tree may cost in memory, per byte of the file.
constexpr uint64_t kTreeBytesPerFileByte = 4;
// A resource's cost beside its names and data: its keys and its place in the
// list, about what they take in a 64-bit build. A constant, so that every
// build of the tool takes the same files.
constexpr uint64_t kResourceCost = 160;
// Programs carry a few thousand resources at most; a tree of more entries
// is a crafted one, and refused before it costs more than a few megabytes.
constexpr uint32_t kMaxTreeEntries = 65536;

// Reads the tree through RVAs, so that every read is checked against the
// section that holds it.
class TreeReader {
public:
    TreeReader(const Bytes& file, const PeLayout& layout, uint32_t base)
        : file_(file), layout_(layout), base_(base), budget_(kTreeBytesPerFileByte * file.size()) {}

    std::vector<Resource> Read() {
        std::vector<Resource> out;
        Resource path;
        Walk(0, 0, path, out);
        return out;
    }

private:
    // Offset in the file of count bytes at rva, or a Failure. Only bytes
    // both stored and mapped will do.
    size_t At(uint64_t rva, uint64_t count) const {
        for (const PeSection& s : layout_.sections) {
            if (rva < s.virtualAddress) continue;
            uint64_t into = rva - s.virtualAddress;
            if (into + count > std::min(s.rawSize, MappedSize(s))) continue;
            uint64_t at = s.rawOffset + into;
            if (at + count > file_.size()) break;
            return static_cast<size_t>(at);
        }
        throw Failure("the resource tree points outside the file's sections");
    }

    // Every resource is charged, before it is made, with its own copies of
    // its names (many may share one long name) and data.
    void Charge(uint64_t bytes) {
        spent_ += bytes;
        if (spent_ > budget_) throw Failure("the resource tree's names and data add up to far more than the file holds");
    }
    static uint64_t NameBytes(const ResourceKey& key) { return 2 * key.name.size(); }

    // A tree's directories, names, data entries and data, counted at each
    // entry that leads to them: what the rebuilt tree holds. Real trees never
    // share those bytes, so more than the file holds is a crafted tree that
    // would rebuild into one far larger than itself.
    void Occupy(uint64_t bytes) {
        occupied_ += bytes;
        if (occupied_ > file_.size()) throw Failure("the resource tree overlaps itself");
    }

    ResourceKey Key(uint32_t field) {
        if (!(field & kHighBit)) return ResourceKey::Id(field);
        uint64_t rva = uint64_t{base_} + (field & ~kHighBit);
        uint16_t length = Get16(file_, At(rva, 2));
        Occupy(2 + uint64_t{length} * 2);
        size_t text = At(rva + 2, uint64_t{length} * 2);
        ResourceKey key;
        key.isName = true;
        for (uint16_t i = 0; i < length; ++i) key.name += static_cast<char16_t>(Get16(file_, text + 2 * i));
        return key;
    }

    void Walk(uint32_t level, uint32_t offset, Resource& path, std::vector<Resource>& out) {
        // A directory listed twice could make the walk exponential or endless.
        if (!directories_.insert(offset).second) throw Failure("the resource tree reuses a directory");
        size_t header = At(uint64_t{base_} + offset, 16);
        uint32_t named = Get16(file_, header + 12);
        uint32_t count = named + Get16(file_, header + 14);
        entries_ += count;
        if (entries_ > kMaxTreeEntries) {
            throw Failure("the resource tree has more than " + std::to_string(kMaxTreeEntries) +
                          " entries, far more than a program carries");
        }
        Occupy(16 + uint64_t{count} * 8);
        size_t entries = At(uint64_t{base_} + offset + 16, uint64_t{count} * 8);
        ResourceKey previous;
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t name = Get32(file_, entries + 8 * i);
            uint32_t target = Get32(file_, entries + 8 * i + 4);
            ResourceKey key = Key(name);
            // FindResource searches names and ids apart, each by bisection:
            // an entry on the wrong side or out of order is never found.
            if (key.isName != (i < named)) throw Failure("the resource tree mixes up names and ids");
            if (i > 0 && i != named && !KeyBefore(previous, key)) {
                throw Failure(key.isName ? "the resource tree's names are out of order"
                                         : "the resource tree's ids are out of order");
            }
            ResourceKey& slot = level == 0 ? path.type : level == 1 ? path.name : path.language;
            slot = key;
            previous = std::move(key);
            bool isDirectory = (target & kHighBit) != 0;
            if (isDirectory != (level + 1 < kTreeLevels)) {
                throw Failure("the resource tree is not three levels deep");
            }
            if (isDirectory) {
                Walk(level + 1, target & ~kHighBit, path, out);
                continue;
            }
            size_t entry = At(uint64_t{base_} + target, 16);
            uint32_t rva = Get32(file_, entry);
            uint32_t size = Get32(file_, entry + 4);
            Occupy(16 + uint64_t{size});
            Charge(kResourceCost + size + NameBytes(path.type) + NameBytes(path.name) + NameBytes(path.language));
            size_t data = At(rva, size);
            Resource leaf = path;
            leaf.codePage = Get32(file_, entry + 8);
            leaf.data.assign(file_.begin() + data, file_.begin() + data + size);
            out.push_back(std::move(leaf));
        }
    }

    const Bytes& file_;
    const PeLayout& layout_;
    uint32_t base_;
    std::set<uint32_t> directories_;
    uint64_t occupied_ = 0;
    uint64_t entries_ = 0;
    uint64_t budget_;
    uint64_t spent_ = 0;
};

// Bytes a relocation of this type patches; unknown kinds count as the widest.
uint32_t PatchWidth(uint32_t type) {
    switch (type) {
        case 1:  // high 16 bits
        case 2:  // low 16 bits
        case 4:  // high 16 bits, adjusted
            return 2;
        case 3:  // 32-bit address
            return 4;
        default:  // 10: 64-bit address
            return 8;
    }
}

const PeSection& ResourceSection(const PeLayout& layout) {
    PeDirectory rsrc = layout.Directory(kResourceDirectory);
    if (rsrc.rva == 0) throw Failure("it has no resource section to extend: cannot rewrite it safely");
    for (const PeSection& s : layout.sections) {
        if (s.virtualAddress == rsrc.rva) return s;
    }
    throw Failure("its resources do not start a section of their own: cannot rewrite them safely");
}

const ResourceKey& KeyAt(const Resource& r, int level) {
    return level == 0 ? r.type : level == 1 ? r.name : r.language;
}

// Builds the section bytes for resources sorted in directory order; rva is
// where the section will be loaded. Layout: every directory (breadth first),
// the data entries, the names, then the data.
Bytes LayOutTree(const std::vector<Resource>& resources, uint32_t rva) {
    struct Directory {
        int level;
        size_t begin, end;             // the resources under it
        std::vector<size_t> children;  // the first resource under each entry
        uint32_t offset = 0;
    };
    std::vector<Directory> dirs = {{0, 0, resources.size(), {}}};
    for (size_t d = 0; d < dirs.size(); ++d) {
        const int level = dirs[d].level;
        for (size_t i = dirs[d].begin, end = dirs[d].end; i < end;) {
            size_t j = i + 1;
            if (level < 2) {
                // One entry per type (per name under a type), one per language.
                while (j < end && SameKey(resources[i].type, resources[j].type) &&
                       (level == 0 || SameKey(resources[i].name, resources[j].name))) {
                    ++j;
                }
                dirs.push_back({level + 1, i, j, {}});
            }
            dirs[d].children.push_back(i);
            i = j;
        }
        if (dirs[d].children.size() > 0xFFFF) throw Failure("too many resources in one directory");
    }
    uint64_t size = 0;
    for (Directory& d : dirs) {
        d.offset = static_cast<uint32_t>(size);
        size += 16 + 8 * d.children.size();
    }
    const uint64_t dataEntries = size;
    size += 16 * resources.size();
    // Each named entry gets its own copy of its name.
    std::vector<uint32_t> nameOffsets;
    for (size_t d = 0; d < dirs.size(); ++d) {
        for (size_t child : dirs[d].children) {
            const ResourceKey& key = KeyAt(resources[child], dirs[d].level);
            if (!key.isName) continue;
            if (key.name.size() > 0xFFFF) throw Failure("a resource name is too long");
            nameOffsets.push_back(static_cast<uint32_t>(size));
            size += 2 + 2 * key.name.size();
        }
    }
    std::vector<uint64_t> dataOffsets;
    for (const Resource& r : resources) {
        size = AlignUp(size, kDataAlignment);
        dataOffsets.push_back(size);
        size += r.data.size();
    }
    if (size + rva > 0x7FFFFFFFu) throw Failure("the resources are too large for a PE file");

    Bytes out(static_cast<size_t>(size), 0);
    size_t nextName = 0;
    size_t nextChild = 1;  // directories are numbered in the order they were made
    for (size_t d = 0; d < dirs.size(); ++d) {
        const Directory& dir = dirs[d];
        uint32_t named = 0;
        for (size_t child : dir.children) named += KeyAt(resources[child], dir.level).isName;
        Put16(out, dir.offset + 12, named);
        Put16(out, dir.offset + 14, static_cast<uint32_t>(dir.children.size()) - named);
        size_t entry = dir.offset + 16;
        for (size_t child : dir.children) {
            const Resource& r = resources[child];
            const ResourceKey& key = KeyAt(r, dir.level);
            if (key.isName) {
                uint32_t at = nameOffsets[nextName++];
                Put16(out, at, static_cast<uint32_t>(key.name.size()));
                for (size_t k = 0; k < key.name.size(); ++k) Put16(out, at + 2 + 2 * k, key.name[k]);
                Put32(out, entry, at | kHighBit);
            } else {
                Put32(out, entry, key.id);
            }
            if (dir.level < 2) {
                Put32(out, entry + 4, dirs[nextChild++].offset | kHighBit);
            } else {
                uint32_t dataEntry = static_cast<uint32_t>(dataEntries + 16 * child);
                Put32(out, entry + 4, dataEntry);
                Put32(out, dataEntry, static_cast<uint32_t>(rva + dataOffsets[child]));
                Put32(out, dataEntry + 4, static_cast<uint32_t>(r.data.size()));
                Put32(out, dataEntry + 8, r.codePage);
                std::copy(r.data.begin(), r.data.end(), out.begin() + dataOffsets[child]);
            }
            entry += 8;
        }
    }
    return out;
}

}  // namespace

ResourceKey ResourceKey::Id(uint32_t id) {
    ResourceKey key;
    key.id = id;
    return key;
}

ResourceKey ResourceKey::Name(const char* ascii) {
    ResourceKey key;
    key.isName = true;
    while (*ascii) key.name += static_cast<char16_t>(*ascii++);
    return key;
}

bool ResourceKey::IsName(const char* ascii) const { return isName && name == Name(ascii).name; }

bool KeyBefore(const ResourceKey& a, const ResourceKey& b) {
    if (a.isName != b.isName) return a.isName;
    return a.isName ? a.name < b.name : a.id < b.id;
}

bool SameKey(const ResourceKey& a, const ResourceKey& b) {
    return a.isName == b.isName && (a.isName ? a.name == b.name : a.id == b.id);
}

std::vector<Resource> ReadResources(const Bytes& file, const PeLayout& layout) {
    PeDirectory rsrc = layout.Directory(kResourceDirectory);
    if (rsrc.rva == 0) return {};
    return TreeReader(file, layout, rsrc.rva).Read();
}

namespace {

// Every base relocation patches bytes before the resources, wherever its
// table lies: moved resources would make any other patch land elsewhere.
void CheckRelocations(const Bytes& file, const PeLayout& layout, const PeSection& rsrc) {
    const PeDirectory relocs = layout.Directory(kRelocationDirectory);
    if (relocs.rva == 0 && relocs.size == 0) return;
    const PeSection* holder = nullptr;
    for (const PeSection& s : layout.sections) {
        const uint64_t stored = std::min(s.rawSize, MappedSize(s));
        if (relocs.rva >= s.virtualAddress && uint64_t{relocs.rva} + relocs.size <= s.virtualAddress + stored) {
            holder = &s;
        }
    }
    if (!holder) throw Failure("its relocation table lies outside its sections' data: cannot rewrite it safely");
    const size_t table = holder->rawOffset + (relocs.rva - holder->virtualAddress);
    for (uint64_t block = 0; block < relocs.size;) {
        uint32_t page = relocs.size - block >= 8 ? Get32(file, table + block) : 0;
        uint32_t size = relocs.size - block >= 8 ? Get32(file, table + block + 4) : 0;
        if (size < 8 || size > relocs.size - block) {
            throw Failure("its relocation table is damaged: cannot rewrite it safely");
        }
        for (uint32_t e = 8; e + 2 <= size; e += 2) {
            uint32_t entry = Get16(file, table + block + e);
            if (entry >> 12 == 0) continue;
            if (uint64_t{page} + (entry & 0xFFF) + PatchWidth(entry >> 12) > rsrc.virtualAddress) {
                throw Failure("its relocations patch its resources or what follows them: cannot rewrite it safely");
            }
        }
        block += size;
    }
}

// The base relocation section that follows the resources, if one does, after
// checking that it is one: the only section after them, holding directory 5
// and no other table. Anything else there is refused.
const PeSection* RelocationsAfter(const PeLayout& layout, const PeSection& rsrc) {
    const char* const notLast = "its resource section is not the last section: cannot rewrite it safely";
    const PeSection* after = nullptr;
    for (const PeSection& s : layout.sections) {
        if (&s == &rsrc) continue;
        bool later = s.virtualAddress >= rsrc.virtualAddress ||
                     (s.rawSize != 0 && uint64_t{s.rawOffset} + s.rawSize > rsrc.rawOffset);
        if (!later) continue;
        if (after) throw Failure(notLast);
        after = &s;
    }
    if (!after) return nullptr;
    const PeSection& s = *after;
    const PeDirectory relocs = layout.Directory(kRelocationDirectory);
    const uint64_t stored = std::min(s.rawSize, MappedSize(s));
    if (s.virtualAddress < rsrc.virtualAddress || s.rawSize == 0 ||
        s.rawOffset < uint64_t{rsrc.rawOffset} + rsrc.rawSize || relocs.size == 0 ||
        relocs.rva < s.virtualAddress || uint64_t{relocs.rva} + relocs.size > s.virtualAddress + stored) {
        throw Failure(notLast);
    }
    for (uint32_t i = 0; i < layout.dataDirectories.size(); ++i) {
        PeDirectory d = layout.dataDirectories[i];
        if (i == kRelocationDirectory || (d.rva == 0 && d.size == 0)) continue;
        if (uint64_t{d.rva} + d.size > s.virtualAddress && d.rva < uint64_t{s.virtualAddress} + MappedSize(s)) {
            throw Failure(notLast);
        }
    }
    return after;
}

// Everything CheckResourcesRewritable checks; returns the relocation section
// that follows the resources, or none.
const PeSection* CheckLayout(const Bytes& file, const PeLayout& layout) {
    PeDirectory security = layout.Directory(kSecurityDirectory);
    if (security.rva != 0 || security.size != 0) {
        throw Failure("it already carries an Authenticode signature: bundle the unsigned program, then sign");
    }
    CheckImageLayout(file, layout);
    const PeSection& rsrc = ResourceSection(layout);
    // The rewrite keeps the bytes before the resources and sets header
    // fields there: every header must lie among them.
    if (rsrc.rawOffset == 0 || layout.headersEnd > rsrc.rawOffset) {
        throw Failure("its resource section has no place in the file after its headers: cannot rewrite it safely");
    }
    uint64_t fileEnd = layout.sizeOfHeaders;
    for (const PeSection& s : layout.sections) {
        if (s.rawSize != 0) fileEnd = std::max(fileEnd, uint64_t{s.rawOffset} + s.rawSize);
    }
    if (file.size() > fileEnd) {
        throw Failure("it has data after its last section (an overlay or a signature): cannot rewrite it safely");
    }
    const PeSection* relocations = RelocationsAfter(layout, rsrc);
    CheckRelocations(file, layout, rsrc);
    // Tables the loader finds by RVA must not move with the resources.
    const uint64_t rsrcEnd = AlignUp(uint64_t{rsrc.virtualAddress} + MappedSize(rsrc), layout.sectionAlignment);
    for (uint32_t i = 0; i < layout.dataDirectories.size(); ++i) {
        PeDirectory d = layout.dataDirectories[i];
        if (i == kResourceDirectory || i == kSecurityDirectory || (d.rva == 0 && d.size == 0)) continue;
        if (uint64_t{d.rva} + d.size > rsrc.virtualAddress && d.rva < rsrcEnd) {
            throw Failure("another table (data directory " + std::to_string(i) +
                          ") lies in its resource section: cannot rewrite it safely");
        }
    }
    return relocations;
}

}  // namespace

void CheckResourcesRewritable(const Bytes& file, const PeLayout& layout) { CheckLayout(file, layout); }

Bytes RewriteResources(const Bytes& file, const PeLayout& layout, std::vector<Resource> resources) {
    const PeSection* relocations = CheckLayout(file, layout);
    std::stable_sort(resources.begin(), resources.end(), [](const Resource& a, const Resource& b) {
        if (!SameKey(a.type, b.type)) return KeyBefore(a.type, b.type);
        if (!SameKey(a.name, b.name)) return KeyBefore(a.name, b.name);
        return KeyBefore(a.language, b.language);
    });
    for (size_t i = 1; i < resources.size(); ++i) {
        const Resource& a = resources[i - 1];
        const Resource& b = resources[i];
        if (SameKey(a.type, b.type) && SameKey(a.name, b.name) && SameKey(a.language, b.language)) {
            throw Failure("two resources have the same type, name and language: cannot rewrite them safely");
        }
    }
    const PeSection& rsrc = ResourceSection(layout);
    const size_t opt = layout.optionalHeader;
    const uint32_t fileAlignment = layout.fileAlignment;
    const uint32_t sectionAlignment = layout.sectionAlignment;
    Bytes tree = LayOutTree(resources, rsrc.virtualAddress);
    uint64_t rawSize = AlignUp(tree.size(), fileAlignment);
    if (rawSize > 0xFFFFFFFFu - rsrc.rawOffset) throw Failure("the resources are too large for a PE file");

    Bytes out(file.begin(), file.begin() + rsrc.rawOffset);
    out.insert(out.end(), tree.begin(), tree.end());
    out.resize(rsrc.rawOffset + static_cast<size_t>(rawSize), 0);
    uint64_t relocationsAt = 0;
    if (relocations) {
        // Moved whole to the next aligned places after the new resources.
        uint64_t rawAt = AlignUp(out.size(), fileAlignment);
        relocationsAt =
            AlignUp(uint64_t{rsrc.virtualAddress} + std::max<uint64_t>(tree.size(), rawSize), sectionAlignment);
        if (rawAt + relocations->rawSize > 0xFFFFFFFFu || relocationsAt + MappedSize(*relocations) > 0x7FFFFFFFu) {
            throw Failure("the resources are too large for a PE file");
        }
        out.resize(static_cast<size_t>(rawAt), 0);
        out.insert(out.end(), file.begin() + relocations->rawOffset,
                   file.begin() + relocations->rawOffset + relocations->rawSize);
        Put32(out, relocations->headerOffset + kVirtualAddress, static_cast<uint32_t>(relocationsAt));
        Put32(out, relocations->headerOffset + kPointerToRawData, static_cast<uint32_t>(rawAt));
        PeDirectory table = layout.Directory(kRelocationDirectory);
        Put32(out, layout.directories + kDirectoryEntrySize * kRelocationDirectory,
              static_cast<uint32_t>(table.rva - relocations->virtualAddress + relocationsAt));
    }
    Put32(out, rsrc.headerOffset + kVirtualSize, static_cast<uint32_t>(tree.size()));
    Put32(out, rsrc.headerOffset + kSizeOfRawData, static_cast<uint32_t>(rawSize));
    Put32(out, layout.directories + kDirectoryEntrySize * kResourceDirectory + 4, static_cast<uint32_t>(tree.size()));
    if (rsrc.characteristics & kInitialisedData) {
        Put32(out, opt + kSizeOfInitializedData,
              Get32(out, opt + kSizeOfInitializedData) - rsrc.rawSize + static_cast<uint32_t>(rawSize));
    }
    uint64_t imageSize = 0;
    for (const PeSection& s : layout.sections) {
        uint32_t virtualSize = &s == &rsrc ? static_cast<uint32_t>(tree.size()) : s.virtualSize;
        uint32_t rawBytes = &s == &rsrc ? static_cast<uint32_t>(rawSize) : s.rawSize;
        uint64_t at = &s == relocations ? relocationsAt : s.virtualAddress;
        imageSize = std::max(imageSize, AlignUp(at + (virtualSize ? virtualSize : rawBytes), sectionAlignment));
    }
    if (imageSize > 0xFFFFFFFFu) throw Failure("the resources are too large for a PE file");
    Put32(out, opt + kSizeOfImage, static_cast<uint32_t>(imageSize));
    Put32(out, ChecksumOffset(layout), PeChecksum(out, layout));
    return out;
}

size_t ChecksumOffset(const PeLayout& layout) { return layout.optionalHeader + kCheckSum; }

uint32_t PeChecksum(const Bytes& file, const PeLayout& layout) {
    const size_t skip = ChecksumOffset(layout);
    uint64_t sum = 0;
    for (size_t i = 0; i < file.size(); i += 2) {
        if (i >= skip && i < skip + 4) continue;
        uint32_t word = file[i] | (i + 1 < file.size() ? file[i + 1] << 8 : 0);
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum + file.size());
}

}  // namespace yppack
