// Checks a PE file's layout and finds its resources the way the loader does.
//
// This reader shares no code with the one that rewrites resources
// (PeResources.cpp), only PeFormat.h's field offsets, so that a fault in
// either shows as a disagreement: it walks no tree, it searches one, and it
// reads the image as mapped, each section VirtualSize bytes long, not the
// file as stored.
#include "tools/yppack/LoaderView.h"

#include <stdio.h>

#include <string>
#include <vector>

#include "tools/yppack/PeFormat.h"

namespace yppack {

namespace {

using namespace pe;

constexpr uint32_t kHighBit = 0x80000000u;
constexpr uint32_t kDirectoryHeaderSize = 16;
constexpr uint32_t kEntrySize = 8;
constexpr uint32_t kDataEntrySize = 16;

uint64_t AlignUp(uint64_t v, uint64_t alignment) { return (v + alignment - 1) / alignment * alignment; }
bool PowerOfTwo(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }
std::string Hex(uint64_t v) {
    char text[24];
    snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(v));
    return text;
}

struct Section {
    uint32_t rva;
    uint32_t size;  // in memory: VirtualSize, or the raw size where that is 0
    uint32_t rawOffset;
    uint32_t rawSize;
};

struct DataDirectory {
    uint32_t rva;
    uint32_t size;
};

class Image {
public:
    explicit Image(const Bytes& file) : file_(file) {
        if (file.size() < kDosHeaderSize || Get16(file, 0) != kMz) throw Failure("not a PE file (no MZ header)");
        const uint64_t pe = Get32(file, kLfanew);
        if (pe + kOptionalHeader > file.size()) throw Failure("not a PE file: its headers are cut short");
        if (Get32(file, pe) != kPeSignature) throw Failure("not a PE file (no PE signature)");
        const uint64_t optional = pe + kOptionalHeader;
        const uint32_t optionalSize = Get16(file, pe + kSizeOfOptionalHeader);
        if (optional + optionalSize > file.size() || optionalSize < 2) {
            throw Failure("not a PE file: its optional header is cut short");
        }
        const uint16_t magic = Get16(file, optional + kOptionalMagic);
        if (magic != kPe32Magic && magic != kPe32PlusMagic) throw Failure("not a PE32 or PE32+ file");
        const size_t countField = NumberOfRvaAndSizes(magic == kPe32PlusMagic);
        if (countField + 4 > optionalSize) throw Failure("not a PE file: its optional header is cut short");
        uint32_t directories = Get32(file, optional + countField);
        if (directories > kMaxDirectories) directories = kMaxDirectories;
        if (countField + 4 + uint64_t{directories} * kDirectoryEntrySize > optionalSize) {
            throw Failure("not a PE file: its data directories are cut short");
        }
        for (uint32_t i = 0; i < directories; ++i) {
            size_t at = optional + countField + 4 + i * kDirectoryEntrySize;
            directories_.push_back({Get32(file, at), Get32(file, at + 4)});
        }
        const uint32_t count = Get16(file, pe + kNumberOfSections);
        const uint64_t table = optional + optionalSize;
        const uint64_t headersEnd = table + uint64_t{count} * kSectionHeaderSize;
        if (headersEnd > file.size()) throw Failure("not a PE file: its section table is cut short");

        const uint32_t sizeOfHeaders = Get32(file, optional + kSizeOfHeaders);
        if (headersEnd > sizeOfHeaders) {
            throw Failure("its headers end at " + Hex(headersEnd) + ", past its SizeOfHeaders (" + Hex(sizeOfHeaders) +
                          ")");
        }
        const uint32_t fileAlignment = Get32(file, optional + kFileAlignment);
        const uint32_t sectionAlignment = Get32(file, optional + kSectionAlignment);
        if (!PowerOfTwo(fileAlignment) || fileAlignment < kMinFileAlignment || fileAlignment > kMaxFileAlignment) {
            throw Failure("its FileAlignment " + Hex(fileAlignment) + " is not a power of two from 512 to 64 KiB");
        }
        if (!PowerOfTwo(sectionAlignment) || sectionAlignment < fileAlignment) {
            throw Failure("its SectionAlignment " + Hex(sectionAlignment) +
                          " is not a power of two at least its FileAlignment (" + Hex(fileAlignment) + ")");
        }
        if (sectionAlignment < kPageSize && fileAlignment != sectionAlignment) {
            throw Failure("its SectionAlignment " + Hex(sectionAlignment) +
                          " is below the page size but not its FileAlignment (" + Hex(fileAlignment) + ")");
        }

        uint64_t end = AlignUp(sizeOfHeaders, sectionAlignment);
        for (uint32_t i = 0; i < count; ++i) {
            const size_t h = table + i * kSectionHeaderSize;
            Section s{Get32(file, h + kVirtualAddress), Get32(file, h + kVirtualSize), Get32(file, h + kPointerToRawData),
                      Get32(file, h + kSizeOfRawData)};
            if (s.size == 0) s.size = s.rawSize;
            const std::string name = "its section " + std::to_string(i + 1);
            if (s.rva % sectionAlignment != 0) {
                throw Failure(name + " starts at RVA " + Hex(s.rva) + ", not a multiple of its SectionAlignment");
            }
            if (s.rawSize != 0 && s.rawOffset % fileAlignment != 0) {
                throw Failure(name + "'s raw data at " + Hex(s.rawOffset) +
                              " is not a multiple of its FileAlignment");
            }
            if (s.rawSize != 0 && s.rawOffset < sizeOfHeaders) {
                throw Failure(name + "'s raw data at " + Hex(s.rawOffset) + " lies within its headers (SizeOfHeaders " +
                              Hex(sizeOfHeaders) + ")");
            }
            if (uint64_t{s.rawOffset} + s.rawSize > file.size()) {
                throw Failure("the file is cut short: " + name + "'s raw data ends at " +
                              Hex(uint64_t{s.rawOffset} + s.rawSize) + ", past the file's end");
            }
            // The loader maps the sections one after the other, each at the
            // first aligned address after the one before.
            if (i == 0 ? s.rva < end : s.rva != end) {
                throw Failure(name + " starts at RVA " + Hex(s.rva) + ", not where the one before it ends (" + Hex(end) +
                              "): its sections are not adjacent");
            }
            end = AlignUp(uint64_t{s.rva} + s.size, sectionAlignment);
            sections_.push_back(s);
        }
        const uint32_t sizeOfImage = Get32(file, optional + kSizeOfImage);
        if (sizeOfImage != end) {
            throw Failure("its SizeOfImage " + Hex(sizeOfImage) + " is not where its last section ends (" + Hex(end) +
                          ")");
        }
        const DataDirectory resources = Directory(kResourceDirectory);
        if ((resources.rva != 0 || resources.size != 0) && !Holding(resources.rva, resources.size)) {
            throw Failure("its resource directory lies outside its sections");
        }
    }

    DataDirectory Directory(uint32_t index) const {
        return index < directories_.size() ? directories_[index] : DataDirectory{0, 0};
    }

    // The count bytes at rva as the loader maps them, or a Failure naming
    // what lies outside the sections.
    Bytes Read(uint64_t rva, uint64_t count, const std::string& what) const {
        const Section* s = Holding(rva, count);
        if (!s) throw Failure(what + " lies outside the image's sections");
        Bytes out(static_cast<size_t>(count), 0);
        const uint64_t into = rva - s->rva;
        const uint64_t stored = s->rawSize > s->size ? s->size : s->rawSize;
        for (uint64_t k = 0; k < count && into + k < stored; ++k) out[k] = file_[s->rawOffset + into + k];
        return out;
    }
    uint32_t Read16(uint64_t rva, const std::string& what) const { return Get16(Read(rva, 2, what), 0); }
    uint32_t Read32(uint64_t rva, const std::string& what) const { return Get32(Read(rva, 4, what), 0); }

private:
    const Section* Holding(uint64_t rva, uint64_t count) const {
        for (const Section& s : sections_) {
            if (rva >= s.rva && rva + count <= uint64_t{s.rva} + s.size) return &s;
        }
        return nullptr;
    }

    const Bytes& file_;
    std::vector<DataDirectory> directories_;
    std::vector<Section> sections_;
};

// One directory of the resource tree, searched as the loader searches it.
class TreeDirectory {
public:
    TreeDirectory(const Image& image, uint32_t root, uint32_t offset) : image_(image), root_(root) {
        rva_ = uint64_t{root} + offset;
        named_ = image.Read16(rva_ + 12, "a resource directory");
        ids_ = image.Read16(rva_ + 14, "a resource directory");
    }

    uint32_t Size() const { return named_ + ids_; }

    // The target of the entry for id, or of the entry named name; none: -1.
    int64_t FindId(uint32_t id) const {
        uint32_t low = named_, high = named_ + ids_;
        while (low < high) {
            uint32_t middle = low + (high - low) / 2;
            uint32_t key = image_.Read32(Entry(middle), "a resource directory entry");
            if (key == id) return Target(middle);
            if (key < id) {
                low = middle + 1;
            } else {
                high = middle;
            }
        }
        return -1;
    }
    int64_t FindName(const std::u16string& name) const {
        uint32_t low = 0, high = named_;
        while (low < high) {
            uint32_t middle = low + (high - low) / 2;
            int order = name.compare(NameAt(middle));
            if (order == 0) return Target(middle);
            if (order > 0) {
                low = middle + 1;
            } else {
                high = middle;
            }
        }
        return -1;
    }
    uint32_t TargetAt(uint32_t index) const { return Target(index); }

private:
    uint64_t Entry(uint32_t index) const { return rva_ + kDirectoryHeaderSize + uint64_t{index} * kEntrySize; }
    uint32_t Target(uint32_t index) const { return image_.Read32(Entry(index) + 4, "a resource directory entry"); }
    std::u16string NameAt(uint32_t index) const {
        uint32_t field = image_.Read32(Entry(index), "a resource directory entry");
        if (!(field & kHighBit)) throw Failure("the resource tree lists an id among its names");
        uint64_t at = uint64_t{root_} + (field & ~kHighBit);
        uint32_t length = image_.Read16(at, "a resource name");
        Bytes text = image_.Read(at + 2, uint64_t{length} * 2, "a resource name");
        std::u16string name;
        for (uint32_t k = 0; k < length; ++k) name += static_cast<char16_t>(Get16(text, 2 * k));
        return name;
    }

    const Image& image_;
    uint32_t root_;
    uint64_t rva_;
    uint32_t named_;
    uint32_t ids_;
};

uint32_t Subdirectory(int64_t target, const std::string& what) {
    if (target < 0) throw Failure("the loader finds no " + what);
    if (!(target & kHighBit)) throw Failure("the resource tree has data where " + what + "'s directory belongs");
    return static_cast<uint32_t>(target) & ~kHighBit;
}

}  // namespace

void CheckImageLayout(const Bytes& file) { Image image(file); }

Bytes LoadResource(const Bytes& file, uint32_t type, const char* name) {
    Image image(file);
    const uint32_t root = image.Directory(kResourceDirectory).rva;
    if (root == 0) throw Failure("it has no resources");
    std::u16string wanted;
    for (const char* p = name; *p; ++p) wanted += static_cast<char16_t>(*p >= 'a' && *p <= 'z' ? *p - 32 : *p);
    const std::string what = std::string(name) + " (type " + std::to_string(type) + ")";
    uint32_t names = Subdirectory(TreeDirectory(image, root, 0).FindId(type), "resource type " + std::to_string(type));
    uint32_t languages = Subdirectory(TreeDirectory(image, root, names).FindName(wanted), what);
    TreeDirectory languageDirectory(image, root, languages);
    if (languageDirectory.Size() != 1) {
        throw Failure(what + " is there in " + std::to_string(languageDirectory.Size()) + " languages, not one");
    }
    uint32_t entry = languageDirectory.TargetAt(0);
    if (entry & kHighBit) throw Failure("the resource tree has a directory where " + what + "'s data belongs");
    uint64_t at = uint64_t{root} + entry;
    Bytes dataEntry = image.Read(at, kDataEntrySize, what + "'s data entry");
    return image.Read(Get32(dataEntry, 0), Get32(dataEntry, 4), what + "'s data");
}

}  // namespace yppack
