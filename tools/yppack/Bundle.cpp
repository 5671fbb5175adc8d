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
#include <set>

#include "payload/Checksum.h"
#include "resources/Names.h"
#include "tools/yppack/FileIo.h"
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
        resources = ReadResources(game, ReadPeLayout(game));
    } catch (const Failure& e) {
        note = std::string("the game's resources are unreadable: ") + e.what();
        return icon;
    }
    auto group = std::find_if(resources.begin(), resources.end(),
                              [](const Resource& r) { return r.type.IsId(kRtGroupIcon); });
    if (group == resources.end()) {
        note = "the game has no icon";
        return icon;
    }
    const Bytes& g = group->data;
    size_t count = g.size() >= kGroupHeaderSize ? (g[4] | g[5] << 8) : 0;
    if (g.size() < kGroupHeaderSize || g[0] || g[1] || g[2] != 1 || g[3] ||
        g.size() < kGroupHeaderSize + count * kGroupEntrySize) {
        note = "the game's icon group is damaged";
        return icon;
    }
    icon.group.assign(g.begin(), g.begin() + kGroupHeaderSize);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* entry = g.data() + kGroupHeaderSize + i * kGroupEntrySize;
        uint16_t id = static_cast<uint16_t>(entry[kGroupEntryId] | entry[kGroupEntryId + 1] << 8);
        // The image in the group's own language, else in any.
        const Resource* image = nullptr;
        for (const Resource& r : resources) {
            if (!r.type.IsId(kRtIcon) || !r.name.IsId(id)) continue;
            if (!image || (SameKey(r.language, group->language) && !SameKey(image->language, group->language))) {
                image = &r;
            }
        }
        if (!image) continue;  // Windows skips a missing image too
        icon.group.insert(icon.group.end(), entry, entry + kGroupEntrySize);
        if (std::find(icon.ids.begin(), icon.ids.end(), id) == icon.ids.end()) {
            icon.ids.push_back(id);
            icon.images.push_back(*image);
        }
    }
    size_t kept = (icon.group.size() - kGroupHeaderSize) / kGroupEntrySize;
    if (kept == 0) {
        note = "the game's icon group names no image it holds";
        return {};
    }
    icon.group[4] = static_cast<uint8_t>(kept);
    icon.group[5] = static_cast<uint8_t>(kept >> 8);
    return icon;
}

// Adds the game's icon under ids the stub does not use: images above the
// stub's highest RT_ICON id, the group under its lowest free RT_GROUP_ICON id.
void AddIcon(std::vector<Resource>& resources, GameIcon icon, const ResourceKey& language) {
    uint32_t highestImage = 0;
    std::set<uint32_t> groups;
    for (const Resource& r : resources) {
        if (r.type.IsId(kRtIcon) && !r.name.isName) highestImage = std::max(highestImage, r.name.id);
        if (r.type.IsId(kRtGroupIcon) && !r.name.isName) groups.insert(r.name.id);
    }
    if (highestImage + icon.images.size() > kMaxResourceId) {
        throw Failure("the stub's icon ids leave no room for the game's icon");
    }
    std::map<uint16_t, uint32_t> renumbered;
    for (size_t k = 0; k < icon.images.size(); ++k) {
        uint32_t id = highestImage + 1 + static_cast<uint32_t>(k);
        renumbered[icon.ids[k]] = id;
        Resource image = std::move(icon.images[k]);
        image.name = ResourceKey::Id(id);
        image.language = language;
        resources.push_back(std::move(image));
    }
    for (size_t at = kGroupHeaderSize + kGroupEntryId; at < icon.group.size(); at += kGroupEntrySize) {
        uint32_t id = renumbered.at(static_cast<uint16_t>(icon.group[at] | icon.group[at + 1] << 8));
        icon.group[at] = static_cast<uint8_t>(id);
        icon.group[at + 1] = static_cast<uint8_t>(id >> 8);
    }
    uint32_t groupId = 1;
    while (groups.count(groupId)) ++groupId;
    if (groupId > kMaxResourceId) throw Failure("the stub's icon group ids leave no room for the game's icon");
    Resource group;
    group.type = ResourceKey::Id(kRtGroupIcon);
    group.name = ResourceKey::Id(groupId);
    group.language = language;
    group.data = std::move(icon.group);
    resources.push_back(std::move(group));
}

const Resource* FindOne(const std::vector<Resource>& resources, const char* name) {
    const Resource* found = nullptr;
    for (const Resource& r : resources) {
        if (!r.type.IsId(kRtRcdata) || !r.name.IsName(name)) continue;
        if (found) throw Failure(std::string("the bundle holds two ") + name + " resources");
        found = &r;
    }
    if (!found) throw Failure(std::string("the bundle holds no ") + name + " resource");
    return found;
}

Bytes Le32(uint32_t v) {
    return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 24)};
}

}  // namespace

Bytes Bundle(const Bytes& stub, const Bytes& game, BundleReport& report, const Progress& progress) {
    PeLayout layout;
    std::vector<Resource> resources;
    try {
        layout = ReadPeLayout(stub);
        CheckResourcesRewritable(stub, layout);
        resources = ReadResources(stub, layout);
    } catch (const Failure& e) {
        throw Failure(std::string("the stub: ") + e.what());
    }
    if (game.size() > kMaxUnpackedSize) {
        throw Failure("the game is " + std::to_string(game.size()) + " bytes; a container holds at most " +
                      std::to_string(kMaxUnpackedSize));
    }
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
    exe.data = Pack(game.data(), game.size(), progress);
    report.containerSize = exe.data.size();
    Resource crc = exe;
    crc.name = ResourceKey::Name(names::kChecksumResource);
    report.crc = Crc32(game.data(), static_cast<uint32_t>(game.size()));
    crc.data = Le32(report.crc);
    resources.push_back(std::move(exe));
    resources.push_back(std::move(crc));

    GameIcon icon = FindGameIcon(game, report.iconNote);
    report.iconImages = icon.images.size();
    if (!icon.images.empty()) AddIcon(resources, std::move(icon), language);

    Bytes out;
    try {
        out = RewriteResources(stub, layout, std::move(resources));
    } catch (const Failure& e) {
        throw Failure(std::string("the stub: ") + e.what());
    }
    CheckBundle(out, game);
    return out;
}

void CheckBundle(const Bytes& bundled, const Bytes& game) {
    try {
        PeLayout layout = ReadPeLayout(bundled);
        std::vector<Resource> resources = ReadResources(bundled, layout);
        const Resource* exe = FindOne(resources, names::kPayloadResource);
        const Resource* crc = FindOne(resources, names::kChecksumResource);
        if (crc->data != Le32(Crc32(game.data(), static_cast<uint32_t>(game.size())))) throw Failure("EXECRC is not the game's CRC");
        if (Unpack(exe->data) != game) throw Failure("EXE does not decode to the game");
    } catch (const Failure& e) {
        throw Failure(std::string("internal error: the bundle does not read back: ") + e.what());
    }
}

}  // namespace yppack
