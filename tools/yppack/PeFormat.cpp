// Reads a PE file's headers and checks them against the layout rules the loader holds a file to.
#include "tools/yppack/PeFormat.h"

#include <stdio.h>

#include <algorithm>
#include <string>

namespace yppack {

namespace {

using namespace pe;

bool PowerOfTwo(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

std::string Hex(uint64_t v) {
    char text[24];
    snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(v));
    return text;
}

}  // namespace

PeDirectory PeLayout::Directory(uint32_t index) const {
    return index < dataDirectories.size() ? dataDirectories[index] : PeDirectory{};
}

PeLayout ReadPeLayout(const Bytes& file) {
    if (file.size() < kDosHeaderSize || Get16(file, 0) != kMz) throw Failure("not a PE file (no MZ header)");
    const uint64_t pe = Get32(file, kLfanew);
    if (pe + kOptionalHeader > file.size()) throw Failure("not a PE file: its headers are cut short");
    if (Get32(file, pe) != kPeSignature) throw Failure("not a PE file (no PE signature)");
    const uint32_t sectionCount = Get16(file, pe + kNumberOfSections);
    const uint32_t optionalSize = Get16(file, pe + kSizeOfOptionalHeader);
    PeLayout layout;
    layout.optionalHeader = pe + kOptionalHeader;
    if (layout.optionalHeader + optionalSize > file.size() || optionalSize < 2) {
        throw Failure("not a PE file: its optional header is cut short");
    }
    const uint16_t magic = Get16(file, layout.optionalHeader + kOptionalMagic);
    if (magic != kPe32Magic && magic != kPe32PlusMagic) throw Failure("not a PE32 or PE32+ file");
    layout.pe32Plus = magic == kPe32PlusMagic;
    const size_t countField = NumberOfRvaAndSizes(layout.pe32Plus);
    if (countField + 4 > optionalSize) throw Failure("not a PE file: its optional header is cut short");
    layout.directoryCount = std::min(Get32(file, layout.optionalHeader + countField), kMaxDirectories);
    if (countField + 4 + kDirectoryEntrySize * layout.directoryCount > optionalSize) {
        throw Failure("not a PE file: its data directories are cut short");
    }
    layout.directories = layout.optionalHeader + countField + 4;
    for (uint32_t i = 0; i < layout.directoryCount; ++i) {
        size_t at = layout.directories + kDirectoryEntrySize * i;
        layout.dataDirectories.push_back({Get32(file, at), Get32(file, at + 4)});
    }
    layout.fileAlignment = Get32(file, layout.optionalHeader + kFileAlignment);
    layout.sectionAlignment = Get32(file, layout.optionalHeader + kSectionAlignment);
    layout.sizeOfHeaders = Get32(file, layout.optionalHeader + kSizeOfHeaders);
    layout.sizeOfImage = Get32(file, layout.optionalHeader + kSizeOfImage);
    const size_t table = layout.optionalHeader + optionalSize;
    layout.headersEnd = table + size_t{sectionCount} * kSectionHeaderSize;
    if (layout.headersEnd > file.size()) throw Failure("not a PE file: its section table is cut short");
    for (uint32_t i = 0; i < sectionCount; ++i) {
        size_t h = table + i * kSectionHeaderSize;
        layout.sections.push_back({h, Get32(file, h + kVirtualSize), Get32(file, h + kVirtualAddress),
                                   Get32(file, h + kSizeOfRawData), Get32(file, h + kPointerToRawData),
                                   Get32(file, h + kSectionCharacteristics)});
    }
    return layout;
}

void CheckImageLayout(const Bytes& file, const PeLayout& layout) {
    const uint32_t sizeOfHeaders = layout.sizeOfHeaders;
    if (layout.headersEnd > sizeOfHeaders) {
        throw Failure("its headers end at " + Hex(layout.headersEnd) + ", past its SizeOfHeaders (" +
                      Hex(sizeOfHeaders) + ")");
    }
    const uint32_t fileAlignment = layout.fileAlignment;
    const uint32_t sectionAlignment = layout.sectionAlignment;
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
    for (size_t i = 0; i < layout.sections.size(); ++i) {
        const PeSection& s = layout.sections[i];
        const std::string name = "its section " + std::to_string(i + 1);
        if (s.virtualAddress % sectionAlignment != 0) {
            throw Failure(name + " starts at RVA " + Hex(s.virtualAddress) +
                          ", not a multiple of its SectionAlignment");
        }
        if (s.rawSize != 0 && s.rawOffset % fileAlignment != 0) {
            throw Failure(name + "'s raw data at " + Hex(s.rawOffset) + " is not a multiple of its FileAlignment");
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
        if (i == 0 ? s.virtualAddress < end : s.virtualAddress != end) {
            throw Failure(name + " starts at RVA " + Hex(s.virtualAddress) + ", not where the one before it ends (" +
                          Hex(end) + "): its sections are not adjacent");
        }
        end = AlignUp(uint64_t{s.virtualAddress} + MappedSize(s), sectionAlignment);
    }
    if (layout.sizeOfImage != end) {
        throw Failure("its SizeOfImage " + Hex(layout.sizeOfImage) + " is not where its last section ends (" +
                      Hex(end) + ")");
    }
    const PeDirectory resources = layout.Directory(kResourceDirectory);
    if (resources.rva == 0 && resources.size == 0) return;
    for (const PeSection& s : layout.sections) {
        if (resources.rva >= s.virtualAddress &&
            uint64_t{resources.rva} + resources.size <= uint64_t{s.virtualAddress} + MappedSize(s)) {
            return;
        }
    }
    throw Failure("its resource directory lies outside its sections");
}

}  // namespace yppack
