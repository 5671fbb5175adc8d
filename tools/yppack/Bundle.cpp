// Adds the packed game, its CRC and its icon to a stub's resources.
//
// Group icon data (RT_GROUP_ICON), little-endian:
//   offset 0, 2 bytes  reserved (0)
//   offset 2, 2 bytes  type (1: icon)
//   offset 4, 2 bytes  count of the entries that follow
//   offset 6           count entries of 14 bytes: width, height, colour count,
//                      reserved (1 byte each), planes, bit count (2 bytes
//                      each), size of the image (4 bytes), and at offset 12
//                      the RT_ICON id of the image (2 bytes)
#include "tools/yppack/Bundle.h"

#include <algorithm>
#include <map>
#include <new>
#include <set>

#include "payload/Checksum.h"
#include "resources/Names.h"
#include "tools/yppack/LoaderView.h"
#include "tools/yppack/Packer.h"
#include "tools/yppack/PeResources.h"

namespace yppack {

namespace {

constexpr size_t kGroupHeaderSize = 6;
constexpr size_t kGroupEntrySize = 14;
constexpr size_t kGroupEntryId = 12;
constexpr uint32_t kMaxResourceId = 0xFFFF;
// The language the new resources get when the stub has nothing to copy it
// from: neutral, which FindResource falls back to in any locale.
constexpr uint32_t kNeutralLanguage = 0;

bool IsPayload(const Resource& r) {
    return r.type.IsId(kRtRcdata) && (r.name.IsName(names::kPayloadResource) || r.name.IsName(names::kChecksumResource));
}

// The image ids a group's entries name, as many as its count says and its
// data holds.
std::vector<uint16_t> GroupImageIds(const Bytes& group) {
    std::vector<uint16_t> ids;
    if (group.size() < kGroupHeaderSize) return ids;
    size_t count = pe::Get16(group, 4);
    for (size_t k = 0; k < count && kGroupHeaderSize + (k + 1) * kGroupEntrySize <= group.size(); ++k) {
        ids.push_back(pe::Get16(group, kGroupHeaderSize + k * kGroupEntrySize + kGroupEntryId));
    }
    return ids;
}

// The game's first icon group and the images it names, or none (with the
// reason in note). The images keep their order in the group.
struct GameIcon {
    Bytes group;
    std::vector<Resource> images;  // images[k] is named by entries with ids[k]
    std::vector<uint16_t> ids;
};

GameIcon FindGameIcon(const Bytes& game, std::string& note) {
    GameIcon icon;
    std::vector<Resource> resources;
    try {
        const PeLayout layout = ReadPeLayout(game);
        CheckImageLayout(game, layout);
        resources = ReadResources(game, layout);
    } catch (const Failure& e) {
        note = std::string("the game's resources are unreadable: ") + e.what();
        return icon;
    } catch (const std::bad_alloc&) {
        note = "the game's resources are too large to read";
        return icon;
    }
    // The first group is the one Explorer and the updater show.
    auto group = std::find_if(resources.begin(), resources.end(),
                              [](const Resource& r) { return r.type.IsId(kRtGroupIcon); });
    if (group == resources.end()) {
        note = "the game has no icon";
        return icon;
    }
    const Bytes& g = group->data;
    size_t count = g.size() >= kGroupHeaderSize ? pe::Get16(g, 4) : 0;
    if (g.size() < kGroupHeaderSize || g[0] || g[1] || g[2] != 1 || g[3] ||
        g.size() < kGroupHeaderSize + count * kGroupEntrySize) {
        note = "the game's icon group is damaged";
        return icon;
    }
    // Each image id's image: in the group's own language, else the first listed.
    std::map<uint32_t, const Resource*> images;
    for (const Resource& r : resources) {
        if (!r.type.IsId(kRtIcon) || r.name.isName) continue;
        auto [at, added] = images.emplace(r.name.id, &r);
        if (!added && SameKey(r.language, group->language) && !SameKey(at->second->language, group->language)) {
            at->second = &r;
        }
    }
    icon.group.assign(g.begin(), g.begin() + kGroupHeaderSize);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* entry = g.data() + kGroupHeaderSize + i * kGroupEntrySize;
        uint16_t id = static_cast<uint16_t>(entry[kGroupEntryId] | entry[kGroupEntryId + 1] << 8);
        auto image = images.find(id);
        if (image == images.end()) continue;  // Windows skips a missing image too
        icon.group.insert(icon.group.end(), entry, entry + kGroupEntrySize);
        if (std::find(icon.ids.begin(), icon.ids.end(), id) == icon.ids.end()) {
            icon.ids.push_back(id);
            icon.images.push_back(*image->second);
        }
    }
    size_t kept = (icon.group.size() - kGroupHeaderSize) / kGroupEntrySize;
    if (kept == 0) {
        note = "the game's icon group names no image it holds";
        return {};
    }
    pe::Put16(icon.group, 4, static_cast<uint32_t>(kept));
    return icon;
}

// Makes the game's icon the first and only group: the stub's groups go,
// with the images they name, and the game's group becomes group 1, its
// images under the lowest ids left free. A finished updater bundled again
// so ends up with the resources the stub alone gives, not one more icon.
void ReplaceIcons(std::vector<Resource>& resources, GameIcon icon, const ResourceKey& language) {
    std::set<uint32_t> named;
    for (const Resource& r : resources) {
        if (!r.type.IsId(kRtGroupIcon)) continue;
        for (uint16_t id : GroupImageIds(r.data)) named.insert(id);
    }
    resources.erase(std::remove_if(resources.begin(), resources.end(),
                                   [&](const Resource& r) {
                                       return r.type.IsId(kRtGroupIcon) ||
                                              (r.type.IsId(kRtIcon) && !r.name.isName && named.count(r.name.id));
                                   }),
                    resources.end());
    std::set<uint32_t> taken;
    for (const Resource& r : resources) {
        if (r.type.IsId(kRtIcon) && !r.name.isName) taken.insert(r.name.id);
    }
    std::map<uint16_t, uint32_t> renumbered;
    uint32_t next = 1;
    for (size_t k = 0; k < icon.images.size(); ++k) {
        while (taken.count(next)) ++next;
        if (next > kMaxResourceId) throw Failure("the stub's icon ids leave no room for the game's icon");
        renumbered[icon.ids[k]] = next;
        Resource image = std::move(icon.images[k]);
        image.name = ResourceKey::Id(next++);
        image.language = language;
        resources.push_back(std::move(image));
    }
    for (size_t at = kGroupHeaderSize + kGroupEntryId; at < icon.group.size(); at += kGroupEntrySize) {
        pe::Put16(icon.group, at, renumbered.at(pe::Get16(icon.group, at)));
    }
    Resource group;
    group.type = ResourceKey::Id(kRtGroupIcon);
    group.name = ResourceKey::Id(1);
    group.language = language;
    group.data = std::move(icon.group);
    resources.push_back(std::move(group));
}

struct Stub {
    PeLayout layout;
    std::vector<Resource> resources;
};

Stub ReadStub(const Bytes& stub) {
    try {
        Stub parts{ReadPeLayout(stub), {}};
        CheckResourcesRewritable(stub, parts.layout);
        parts.resources = ReadResources(stub, parts.layout);
        return parts;
    } catch (const Failure& e) {
        throw StubRefused(e.what());
    }
}

void CheckGameSize(const Bytes& game) {
    if (game.size() > kMaxUnpackedSize) {
        throw Failure("the game is " + std::to_string(game.size()) + " bytes; a container holds at most " +
                      std::to_string(kMaxUnpackedSize));
    }
}

Bytes Le32(uint32_t v) {
    return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 24)};
}

}  // namespace

StubRefused::StubRefused(const std::string& reason) : Failure("the stub: " + reason), reason_(reason) {}

Bytes Bundle(const Bytes& stub, const Bytes& game, BundleReport& report, const Progress& progress) {
    // Refusals first: they should not wait for a game to be packed.
    ReadStub(stub);
    CheckGameSize(game);
    return BundlePacked(stub, game, Pack(game.data(), game.size(), progress), report);
}

Bytes BundlePacked(const Bytes& stub, const Bytes& game, Bytes container, BundleReport& report) {
    auto [layout, resources] = ReadStub(stub);
    CheckGameSize(game);
    // The new resources take the language of the EXE they replace, else of
    // the stub's first resource.
    ResourceKey language = ResourceKey::Id(kNeutralLanguage);
    auto old = std::find_if(resources.begin(), resources.end(), IsPayload);
    if (old != resources.end()) {
        language = old->language;
    } else if (!resources.empty()) {
        language = resources.front().language;
    }
    resources.erase(std::remove_if(resources.begin(), resources.end(), IsPayload), resources.end());

    Resource exe;
    exe.type = ResourceKey::Id(kRtRcdata);
    exe.name = ResourceKey::Name(names::kPayloadResource);
    exe.language = language;
    exe.data = std::move(container);
    report.containerSize = exe.data.size();
    Resource crc = exe;
    crc.name = ResourceKey::Name(names::kChecksumResource);
    report.crc = Crc32(game.data(), static_cast<uint32_t>(game.size()));
    crc.data = Le32(report.crc);
    resources.push_back(std::move(exe));
    resources.push_back(std::move(crc));

    GameIcon icon = FindGameIcon(game, report.iconNote);
    report.iconImages = icon.images.size();
    if (!icon.images.empty()) ReplaceIcons(resources, std::move(icon), language);

    Bytes out;
    try {
        out = RewriteResources(stub, layout, std::move(resources));
    } catch (const Failure& e) {
        throw StubRefused(e.what());
    }
    CheckBundle(out, game);
    return out;
}

void CheckBundle(const Bytes& bundled, const Bytes& game) {
    try {
        Bytes exe = LoadResource(bundled, kRtRcdata, names::kPayloadResource);
        Bytes crc = LoadResource(bundled, kRtRcdata, names::kChecksumResource);
        if (crc != Le32(Crc32(game.data(), static_cast<uint32_t>(game.size())))) {
            throw Failure(std::string(names::kChecksumResource) + " is not the game's CRC-32");
        }
        if (Unpack(exe) != game) throw Failure(std::string(names::kPayloadResource) + " does not decode to the game");
    } catch (const Failure& e) {
        throw Failure(std::string("internal error: the bundle does not read back: ") + e.what());
    }
}

}  // namespace yppack
