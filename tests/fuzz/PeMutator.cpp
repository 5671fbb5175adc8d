// Structure-aware mutations of PE files for the bundle fuzzer.
//
// Flipping bytes seldom makes a layout the checks must think about (headers
// inside a section, an alignment of 2^24, a section grown past the next one's
// start): each of those needs several fields to agree. These mutations make
// one in a step, with values taken from the file's own fields.
#include "tests/fuzz/PeMutator.h"

#include <string.h>

#include <algorithm>
#include <random>
#include <vector>

#include "tools/yppack/PeFormat.h"

namespace fuzz {

namespace {

using Bytes = std::vector<uint8_t>;
using namespace yppack::pe;

struct Headers {
    size_t pe = 0;  // the signature
    size_t optional = 0;
    size_t table = 0;
    uint32_t sections = 0;
    size_t end = 0;  // of the section table
};

// Where the headers are, by the bundler's own reader: a file it cannot read
// is no PE file to change.
bool Parse(const Bytes& f, Headers& h) {
    yppack::PeLayout layout;
    try {
        layout = yppack::ReadPeLayout(f);
    } catch (const yppack::Failure&) {
        return false;
    }
    h.optional = layout.optionalHeader;
    h.pe = h.optional - kOptionalHeader;
    h.sections = static_cast<uint32_t>(layout.sections.size());
    h.end = layout.headersEnd;
    h.table = h.end - size_t{h.sections} * kSectionHeaderSize;
    return true;
}

struct Field {
    size_t at;
    int width;
};

// Every field the layout checks read.
std::vector<Field> Fields(const Headers& h) {
    std::vector<Field> fields = {{kLfanew, 4},
                                 {h.pe + kNumberOfSections, 2},
                                 {h.pe + kSizeOfOptionalHeader, 2},
                                 {h.optional + kSectionAlignment, 4},
                                 {h.optional + kFileAlignment, 4},
                                 {h.optional + kSizeOfImage, 4},
                                 {h.optional + kSizeOfHeaders, 4}};
    for (bool plus : {false, true}) {
        size_t count = h.optional + NumberOfRvaAndSizes(plus);
        if (count + 4 > h.table) continue;
        fields.push_back({count, 4});
        for (size_t at = count + 4; at + kDirectoryEntrySize <= h.table && at < count + 4 + 16 * 8; at += 4) {
            fields.push_back({at, 4});
        }
    }
    for (uint32_t s = 0; s < h.sections; ++s) {
        size_t header = h.table + s * kSectionHeaderSize;
        for (size_t f : {kVirtualSize, kVirtualAddress, kSizeOfRawData, kPointerToRawData}) {
            fields.push_back({header + f, 4});
        }
    }
    return fields;
}

class Mutator {
public:
    Mutator(Bytes& f, size_t maxSize, uint32_t seed) : f_(f), maxSize_(maxSize), rng_(seed) {}

    bool Step() {
        Headers h;
        if (!Parse(f_, h)) return false;
        switch (Pick(6)) {
            case 0:
            case 1: return SetField(h);
            case 2: return MoveHeaders(h);
            case 3: return GrowSection(h);
            case 4: return SetAlignments(h);
            default: return Cut(h);
        }
    }

private:
    uint32_t Pick(uint32_t n) { return static_cast<uint32_t>(rng_() % n); }

    uint32_t Read(Field field) const { return field.width == 2 ? Get16(f_, field.at) : Get32(f_, field.at); }
    void Write(Field field, uint32_t v) {
        if (field.width == 2) {
            Put16(f_, field.at, v);
        } else {
            Put32(f_, field.at, v);
        }
    }

    uint32_t FileAlignmentOr512(const Headers& h) const {
        uint32_t a = Get32(f_, h.optional + kFileAlignment);
        return a >= 16 && a <= 65536 && (a & (a - 1)) == 0 ? a : 512;
    }

    // A value near another field's, a power of two, or an edge of the file.
    uint32_t Interesting(const Headers& h, const std::vector<Field>& fields) {
        uint32_t base = Read(fields[Pick(static_cast<uint32_t>(fields.size()))]);
        uint32_t a = FileAlignmentOr512(h);
        switch (Pick(8)) {
            case 0: return 1u << Pick(32);
            case 1: return static_cast<uint32_t>(f_.size());
            case 2: return static_cast<uint32_t>(h.end);
            case 3: return base + a;
            case 4: return base - a;
            case 5: return base + (Pick(2) ? 1 : -1) * static_cast<uint32_t>(1 + Pick(16));
            case 6: return Pick(2) ? 0 : 0xFFFFFFFFu;
            default: return base;
        }
    }

    bool SetField(const Headers& h) {
        std::vector<Field> fields = Fields(h);
        Write(fields[Pick(static_cast<uint32_t>(fields.size()))], Interesting(h, fields));
        return true;
    }

    bool SetAlignments(const Headers& h) {
        uint32_t file = 1u << Pick(25);
        uint32_t section = Pick(2) ? file : file << Pick(8);
        Put32(f_, h.optional + kFileAlignment, file);
        Put32(f_, h.optional + kSectionAlignment, section);
        return true;
    }

    // Copies the headers, signature to section table, to the start or end of
    // a section's raw data, past the file's end, or anywhere.
    bool MoveHeaders(const Headers& h) {
        Bytes block(f_.begin() + h.pe, f_.begin() + h.end);
        size_t to = 0;
        uint32_t choice = Pick(4);
        if (choice < 2 && h.sections > 0) {
            size_t header = h.table + Pick(h.sections) * kSectionHeaderSize;
            size_t raw = Get32(f_, header + kPointerToRawData);
            to = choice == 0 ? raw : raw + Get32(f_, header + kSizeOfRawData) - block.size();
        } else if (choice == 2) {
            to = f_.size();
        } else {
            to = Pick(static_cast<uint32_t>(f_.size()));
        }
        to &= ~size_t{7};
        if (to < kDosHeaderSize || to > maxSize_ || maxSize_ - to < block.size()) return false;
        if (to + block.size() > f_.size()) f_.resize(to + block.size(), 0);
        memcpy(f_.data() + to, block.data(), block.size());
        Put32(f_, kLfanew, static_cast<uint32_t>(to));
        return true;
    }

    // Makes a section's raw data longer by whole file alignments, moving what
    // follows it in the file and the raw pointers into that.
    bool GrowSection(const Headers& h) {
        if (h.sections == 0) return false;
        size_t header = h.table + Pick(h.sections) * kSectionHeaderSize;
        size_t at = size_t{Get32(f_, header + kPointerToRawData)} + Get32(f_, header + kSizeOfRawData);
        size_t grow = size_t{FileAlignmentOr512(h)} * (1 + Pick(4));
        if (at > f_.size() || f_.size() + grow > maxSize_) return false;
        f_.insert(f_.begin() + at, grow, 0);
        Headers moved = h;
        if (h.pe >= at) {
            Put32(f_, kLfanew, static_cast<uint32_t>(h.pe + grow));
            if (!Parse(f_, moved)) return false;
            header += grow;
        }
        Put32(f_, header + kSizeOfRawData, Get32(f_, header + kSizeOfRawData) + static_cast<uint32_t>(grow));
        if (Pick(2)) Put32(f_, header + kVirtualSize, Get32(f_, header + kVirtualSize) + static_cast<uint32_t>(grow));
        for (uint32_t s = 0; s < moved.sections; ++s) {
            size_t other = moved.table + s * kSectionHeaderSize;
            uint32_t raw = Get32(f_, other + kPointerToRawData);
            if (other != header && raw >= at) Put32(f_, other + kPointerToRawData, raw + static_cast<uint32_t>(grow));
        }
        return true;
    }

    // Ends the file at a section's start or end, or a little short of its end.
    bool Cut(const Headers& h) {
        size_t to = f_.size() - std::min<size_t>(f_.size(), 1 + Pick(64));
        if (h.sections > 0 && Pick(2)) {
            size_t header = h.table + Pick(h.sections) * kSectionHeaderSize;
            to = Get32(f_, header + kPointerToRawData) + (Pick(2) ? Get32(f_, header + kSizeOfRawData) : 0);
        }
        if (to >= f_.size()) return false;
        f_.resize(to);
        return true;
    }

    Bytes& f_;
    size_t maxSize_;
    std::minstd_rand rng_;
};

}  // namespace

size_t MutatePe(uint8_t* data, size_t size, size_t maxSize, uint32_t seed) {
    Bytes f(data, data + size);
    Mutator mutator(f, maxSize, seed);
    bool changed = false;
    for (uint32_t steps = 1 + seed % 3; steps > 0; --steps) changed = mutator.Step() || changed;
    if (!changed || f.size() > maxSize) return 0;
    memcpy(data, f.data(), f.size());
    return f.size();
}

}  // namespace fuzz
