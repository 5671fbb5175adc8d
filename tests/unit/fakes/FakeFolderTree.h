// A file system made of named folders, files and folder links, for the search
// and the folder picker. Entries are made from (parent, name) pairs, so a
// CP932 name whose trail byte is 0x5C ("表") is one name, as on a real disk.
#pragma once

#include <stdio.h>

#include <iterator>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Cp932.h"
#include "platform/FileSystem.h"
#include "platform/Folders.h"

class FakeFolderTree : public FileSystem, public Folders {
public:
    struct Entry {
        std::string name;
        uint32_t attributes;
        std::string linkTarget;  // a folder link: the folder it leads to
    };

    FakeFolderTree() {
        for (DriveType& t : types_) t = DriveType::kNoRootDir;
    }

    // Makes the drive and its root folder; root is "X:".
    void Drive(char letter, DriveType type) {
        types_[letter - 'A'] = type;
        folders_[std::string(1, letter) + ":"];
    }

    // The pairs everything is made of: parent is an existing folder ("X:"
    // for a root), name one name, never split.
    void AddFolder(const std::string& parent, const std::string& name, uint32_t extra = 0) {
        std::string path = parent + "\\" + name;
        if (folders_.count(path)) return;
        // A drive's root lists no "." and "..", every other folder does.
        folders_[path] = {{".", kAttributeDirectory, ""}, {"..", kAttributeDirectory, ""}};
        folders_.at(parent).push_back({name, kAttributeDirectory | extra, ""});
    }
    void AddFile(const std::string& parent, const std::string& name, uint32_t attributes = 0x20) {
        folders_.at(parent).push_back({name, attributes, ""});
    }
    // A link that lists as the folder target (directory + reparse).
    void AddLink(const std::string& parent, const std::string& name, const std::string& target) {
        folders_.at(parent).push_back({name, kAttributeDirectory | kAttributeReparsePoint, target});
    }

    // Shorthands for ASCII paths: the folders above are made as needed.
    void Folder(const std::string& path, uint32_t extra = 0) {
        std::string parent, name;
        Split(path, parent, name);
        if (!folders_.count(parent)) Folder(parent);
        AddFolder(parent, name, extra);
    }
    void File(const std::string& path, uint32_t attributes = 0x20) {
        std::string parent, name;
        Split(path, parent, name);
        if (!folders_.count(parent)) Folder(parent);
        AddFile(parent, name, attributes);
    }
    void Link(const std::string& path, const std::string& target) {
        std::string parent, name;
        Split(path, parent, name);
        AddLink(parent, name, target);
    }
    void FailListing(const std::string& path) { unlistable_.insert(path); }
    void NoIdentities() { identities_ = false; }
    // Patterns at least this long are refused, as MAX_PATH refuses them.
    void LimitPattern(size_t length) { patternLimit_ = length; }

    const std::vector<std::string>& Listed() const { return listed_; }
    int OpenCount() const { return open_; }
    int MostOpen() const { return mostOpen_; }
    int IdentityQueries() const { return identityQueries_; }

    DriveType TypeOfDrive(char letter) override {
        return letter >= 'A' && letter <= 'Z' ? types_[letter - 'A'] : DriveType::kNoRootDir;
    }

    bool OpenListing(const char* pattern, FolderListing& listing, FolderEntry& first) override {
        std::string p = pattern;
        const std::string suffix = "\\*.*";
        if (p.size() < suffix.size() || p.compare(p.size() - suffix.size(), suffix.size(), suffix) != 0)
            return false;
        if (p.size() >= patternLimit_) return false;
        std::string folder = p.substr(0, p.size() - suffix.size());
        listed_.push_back(folder);
        std::string real;
        if (!Resolve(folder, real) || unlistable_.count(real)) return false;
        const auto& entries = folders_.at(real);
        if (entries.empty()) return false;  // an empty root lists nothing at all
        listing.handle = static_cast<intptr_t>(cursors_.size());
        cursors_.push_back({real, 0, true});
        ++open_;
        if (open_ > mostOpen_) mostOpen_ = open_;
        return NextEntry(listing, first);
    }

    bool NextEntry(FolderListing& listing, FolderEntry& next) override {
        Cursor& c = cursors_.at(static_cast<size_t>(listing.handle));
        if (!c.open) throw std::logic_error("listing used after close");
        const auto& entries = folders_.at(c.folder);
        if (c.index >= entries.size()) return false;
        const Entry& e = entries[c.index++];
        snprintf(next.name, sizeof next.name, "%s", e.name.c_str());
        next.attributes = e.attributes;
        return true;
    }

    void CloseListing(FolderListing& listing) override {
        Cursor& c = cursors_.at(static_cast<size_t>(listing.handle));
        if (!c.open) throw std::logic_error("listing closed twice");
        c.open = false;
        --open_;
    }

    // The picker's questions: a trailing "\" is dropped, a root's too.
    PathKind Probe(const char* path) override {
        std::string p = path;
        if (EndsWithBackslash(p.c_str())) p.pop_back();
        std::string real;
        if (Resolve(p, real)) return PathKind::kFolder;
        std::string parent, name;
        if (p.find('\\') == std::string::npos) return PathKind::kMissing;
        Split(p, parent, name);
        if (!Resolve(parent, real)) return PathKind::kMissing;
        for (const Entry& e : folders_.at(real))
            if (e.name == name) return PathKind::kFile;
        return PathKind::kMissing;
    }
    bool CreateFolder(const char*) override { return false; }

    bool IdentityOf(const char* folder, FolderIdentity& identity) override {
        ++identityQueries_;
        std::string real;
        if (!identities_ || !Resolve(folder, real)) return false;
        auto found = folders_.find(real);
        identity = {7, 0, static_cast<uint32_t>(std::distance(folders_.begin(), found))};
        return true;
    }

private:
    struct Cursor {
        std::string folder;
        size_t index;
        bool open;
    };

    // parent and name of a path, split at its last separator that is a
    // character of its own.
    static void Split(const std::string& path, std::string& parent, std::string& name) {
        size_t cut = std::string::npos;
        for (size_t i = 0; i < path.size(); ++i) {
            if (IsCp932LeadByte(static_cast<unsigned char>(path[i]))) ++i;
            else if (path[i] == '\\') cut = i;
        }
        if (cut == std::string::npos) throw std::logic_error("no folder in " + path);
        parent = path.substr(0, cut);
        name = path.substr(cut + 1);
    }

    // The names of path below its drive, each a whole name.
    static std::vector<std::string> Names(const std::string& path) {
        std::vector<std::string> names;
        std::string name;
        for (size_t i = 0; i < path.size(); ++i) {
            if (IsCp932LeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size()) {
                name += path.substr(i++, 2);
            } else if (path[i] == '\\') {
                names.push_back(name);
                name.clear();
            } else {
                name += path[i];
            }
        }
        names.push_back(name);
        return names;
    }

    // Follows links name by name to the folder's own path.
    bool Resolve(const std::string& path, std::string& real) const {
        std::vector<std::string> names = Names(path);
        real = names[0];
        if (!folders_.count(real)) return false;
        for (size_t i = 1; i < names.size(); ++i) {
            const Entry* hit = nullptr;
            for (const Entry& e : folders_.at(real))
                if (e.name == names[i] && (e.attributes & kAttributeDirectory)) hit = &e;
            if (!hit) return false;
            real = hit->linkTarget.empty() ? real + "\\" + names[i] : hit->linkTarget;
        }
        return folders_.count(real) != 0;
    }

    DriveType types_[26];
    std::map<std::string, std::vector<Entry>> folders_;
    std::set<std::string> unlistable_;
    std::vector<Cursor> cursors_;
    std::vector<std::string> listed_;
    bool identities_ = true;
    size_t patternLimit_ = 100000;
    int open_ = 0;
    int mostOpen_ = 0;
    int identityQueries_ = 0;
};
