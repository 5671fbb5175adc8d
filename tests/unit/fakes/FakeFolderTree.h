// A file system made of named folders, files and folder links, for the search.
#pragma once

#include <stdio.h>

#include <iterator>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

class FakeFolderTree : public FileSystem {
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
    // Adds a folder (and the folders above it) under an existing drive.
    void Folder(const std::string& path, uint32_t extra = 0) {
        size_t cut = path.rfind('\\');
        std::string parent = path.substr(0, cut);
        if (!folders_.count(parent)) Folder(parent);
        if (folders_.count(path)) return;
        // A drive's root lists no "." and "..", every other folder does.
        folders_[path] = {{".", kAttributeDirectory, ""}, {"..", kAttributeDirectory, ""}};
        folders_[parent].push_back({path.substr(cut + 1), kAttributeDirectory | extra, ""});
    }
    void File(const std::string& path, uint32_t attributes = 0x20) {
        size_t cut = path.rfind('\\');
        std::string parent = path.substr(0, cut);
        if (!folders_.count(parent)) Folder(parent);
        folders_[parent].push_back({path.substr(cut + 1), attributes, ""});
    }
    // A link at path that lists as the folder target (directory + reparse).
    void Link(const std::string& path, const std::string& target) {
        size_t cut = path.rfind('\\');
        folders_[path.substr(0, cut)].push_back(
            {path.substr(cut + 1), kAttributeDirectory | kAttributeReparsePoint, target});
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

    // Follows links component by component to the folder's own path.
    bool Resolve(const std::string& path, std::string& real) const {
        size_t start = path.find('\\');
        real = path.substr(0, start);
        if (!folders_.count(real)) return false;
        while (start != std::string::npos) {
            size_t end = path.find('\\', start + 1);
            std::string name = path.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
            const Entry* hit = nullptr;
            for (const Entry& e : folders_.at(real))
                if (e.name == name && (e.attributes & kAttributeDirectory)) hit = &e;
            if (!hit) return false;
            real = hit->linkTarget.empty() ? real + "\\" + name : hit->linkTarget;
            start = end;
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
