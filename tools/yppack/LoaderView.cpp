// Finds a PE file's resources the way the loader does, to read a bundle back.
//
// The headers are read, and their layout checked, by the one reader the
// writer uses too (PeFormat.cpp): the writer refuses what those rules
// refuse, so a second walk of the same fields would catch nothing the first
// lets by; the rules have tests of their own.
// The rest is this reader's alone, sharing no code with the one that
// rewrites resources (PeResources.cpp), so that a fault in either shows as a
// disagreement: it walks no tree, it searches one by bisection as the loader
// does, and it reads the image as mapped, each section VirtualSize bytes
// long and zeros past its raw data, not the file as stored.
#include "tools/yppack/LoaderView.h"

#include <string>
#include <vector>

#include "platform/Text.h"
#include "tools/yppack/PeFormat.h"

namespace yppack {

namespace {

using namespace pe;

constexpr uint32_t kDirectoryHeaderSize = 16;
constexpr uint32_t kEntrySize = 8;
constexpr uint32_t kDataEntrySize = 16;

class Image {
public:
    explicit Image(const Bytes& file) : file_(file), layout_(ReadPeLayout(file)) { CheckImageLayout(file, layout_); }

    PeDirectory Directory(uint32_t index) const { return layout_.Directory(index); }

    // The count bytes at rva as the loader maps them, or a Failure naming
    // what lies outside the sections.
    Bytes Read(uint64_t rva, uint64_t count, const std::string& what) const {
        const PeSection* s = Holding(rva, count);
        if (!s) throw Failure(what + " lies outside the image's sections");
        Bytes out(static_cast<size_t>(count), 0);
        const uint64_t into = rva - s->virtualAddress;
        const uint64_t stored = s->rawSize > MappedSize(*s) ? MappedSize(*s) : s->rawSize;
        for (uint64_t k = 0; k < count && into + k < stored; ++k) out[k] = file_[s->rawOffset + into + k];
        return out;
    }
    uint32_t Read16(uint64_t rva, const std::string& what) const { return Get16(Read(rva, 2, what), 0); }
    uint32_t Read32(uint64_t rva, const std::string& what) const { return Get32(Read(rva, 4, what), 0); }

private:
    const PeSection* Holding(uint64_t rva, uint64_t count) const {
        for (const PeSection& s : layout_.sections) {
            if (rva >= s.virtualAddress && rva + count <= uint64_t{s.virtualAddress} + MappedSize(s)) return &s;
        }
        return nullptr;
    }

    const Bytes& file_;
    PeLayout layout_;
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

Bytes LoadResource(const Bytes& file, uint32_t type, const char* name) {
    Image image(file);
    const uint32_t root = image.Directory(kResourceDirectory).rva;
    if (root == 0) throw Failure("it has no resources");
    std::u16string wanted;
    for (const char* p = name; *p; ++p) wanted += static_cast<char16_t>(AsciiUpper(*p));
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
