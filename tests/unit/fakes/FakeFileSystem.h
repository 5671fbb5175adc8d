// An in-memory file system: drives, folders, files with contents and
// attributes, folder links; any call can be made to fail. Entries are made
// from (parent, name) pairs, so a CP932 name whose trail byte is 0x5C ("表")
// is one name, as on a real disk. A name is found as Windows finds it: an
// exact match first, else one that differs in ASCII letter case only.
#pragma once

#include <stdio.h>

#include <iterator>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Text.h"

class FakeFileSystem : public FileSystem {
public:
    FakeFileSystem() {
        for (DriveType& t : types_) t = DriveType::kNoRootDir;
    }

    // ---- Building the disk.

    // Makes the drive's root folder ("X:") and gives the drive its type.
    void Drive(char letter, DriveType type) {
        types_[AsciiUpper(letter) - 'A'] = type;
        folders_[Root(letter)];
    }
    // parent is an existing folder ("X:" for a root), name one name, never split.
    void AddFolder(const std::string& parent, const std::string& name, uint32_t extra = 0) {
        std::string path = parent + "\\" + name;
        if (folders_.count(path)) return;
        // A drive's root lists no "." and "..", every other folder does.
        folders_[path] = {{".", kAttributeDirectory, "", ""}, {"..", kAttributeDirectory, "", ""}};
        folders_.at(parent).push_back({name, kAttributeDirectory | extra, "", ""});
    }
    void AddFile(const std::string& parent, const std::string& name, uint32_t attributes = kAttributeArchive,
                 const std::string& data = "") {
        folders_.at(parent).push_back({name, attributes, "", data});
    }
    // A link that lists as the folder target (directory + reparse point).
    void AddLink(const std::string& parent, const std::string& name, const std::string& target) {
        folders_.at(parent).push_back({name, kAttributeDirectory | kAttributeReparsePoint, target, ""});
    }

    // Shorthands for paths: the drive and the folders above are made as needed.
    void Folder(const std::string& path, uint32_t extra = 0) {
        std::string parent, name;
        if (!SplitPlain(path, parent, name)) {
            MakeFolder(path);  // a drive's root
            return;
        }
        AddFolder(MakeFolder(parent), name, extra);
    }
    void File(const std::string& path, uint32_t attributes = kAttributeArchive) {
        std::string parent, name;
        Split(path, parent, name);
        AddFile(MakeFolder(parent), name, attributes);
    }
    void Link(const std::string& path, const std::string& target) {
        std::string parent, name;
        Split(path, parent, name);
        AddLink(parent, name, target);
    }
    // A file holding data, with no attribute set; replaces one already there.
    void Put(const std::string& path, const std::string& data) {
        std::string parent, name;
        Split(path, parent, name);
        std::string real = MakeFolder(parent);
        std::vector<Entry>& entries = folders_.at(real);
        if (Entry* old = Find(entries, name)) entries.erase(entries.begin() + (old - entries.data()));
        AddFile(real, name, 0, data);
    }

    void SetReadOnly(const std::string& path) { EntryAt(path)->attributes |= kAttributeReadOnly; }
    void GiveAttributes(const std::string& path, uint32_t attributes) { EntryAt(path)->attributes = attributes; }
    uint32_t AttributesOf(const std::string& path) {
        Entry* entry = EntryAt(path);
        return entry ? entry->attributes : 0;
    }
    void HoldOpen(const std::string& path) { heldOpen_.insert(path); }
    void FailListing(const std::string& folder) { unlistable_.insert(folder); }
    void FailCreating(const std::string& folder) { uncreatable_.insert(Folded(folder)); }
    void NoIdentities() { identities_ = false; }
    // Patterns at least this long are refused, as MAX_PATH refuses them.
    void LimitPattern(size_t length) { patternLimit_ = length; }
    // Windows 98/Me: no replacing move.
    void WithoutReplacingMove() { replacingMove_ = false; }
    // The next count replacing moves find a file held for a moment, as a
    // virus scanner does with a fresh .exe.
    void BusyMoves(int count) { busyMoves_ = count; }

    // The call with this index (0 = first) fails; -1: none does. A failing
    // write takes half the bytes, as a full disk does. Listings, drive types,
    // identities and pauses never fail and are not counted.
    void FailAtCall(int index) { failAt_ = index; }
    // The calls of one operation that fail: after skip good ones, count in a row.
    void FailOperation(const std::string& name, int skip = 0, int count = 1) {
        failOperation_ = name;
        failSkip_ = skip;
        failCount_ = count;
    }

    // ---- Looking at it.

    bool Exists(const std::string& path) {
        Entry* entry = EntryAt(path);
        return entry && !(entry->attributes & kAttributeDirectory);
    }
    bool IsFolder(const std::string& path) { return Probe(path.c_str(), nullptr, false) == PathKind::kFolder; }
    std::string Read(const std::string& path) { return Exists(path) ? EntryAt(path)->data : "<missing>"; }
    size_t FileCount() const {
        size_t count = 0;
        for (const auto& folder : folders_) {
            for (const Entry& e : folder.second) count += !(e.attributes & kAttributeDirectory);
        }
        return count;
    }
    bool FileOpen() const { return !open_.empty(); }
    // Every path CreateNew was asked for, in order.
    const std::vector<std::string>& Created() const { return created_; }
    // Every folder CreateFolder made, in order.
    const std::vector<std::string>& CreatedFolders() const { return createdFolders_; }
    int Calls() const { return calls_; }
    // The operation each counted call made, in order: "Probe", "Remove", ...
    const std::vector<std::string>& CallNames() const { return callNames_; }
    uint32_t PausedMs() const { return pausedMs_; }
    const std::vector<std::string>& Listed() const { return listed_; }
    int OpenCount() const { return openListings_; }
    int MostOpen() const { return mostOpen_; }
    int IdentityQueries() const { return identityQueries_; }

    // ---- The seam.

    PathKind Probe(const char* path, uint32_t* attributes) override {
        if (attributes) *attributes = 0;
        if (Fails("Probe")) return PathKind::kOther;
        return Probe(path, attributes, false);
    }

    bool CreateFolder(const char* path) override {
        if (Fails("CreateFolder") || uncreatable_.count(Folded(path))) return false;
        std::string parent, name, real;
        if (!SplitPlain(path, parent, name) || !ResolveFolder(parent, real) || Find(folders_.at(real), name)) {
            return false;
        }
        AddFolder(real, name);
        createdFolders_.push_back(path);
        return true;
    }

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
        if (!ResolveFolder(folder, real) || unlistable_.count(real)) return false;
        if (folders_.at(real).empty()) return false;  // an empty root lists nothing at all
        listing.handle = static_cast<intptr_t>(cursors_.size());
        cursors_.push_back({real, 0, true});
        ++openListings_;
        if (openListings_ > mostOpen_) mostOpen_ = openListings_;
        return NextEntry(listing, first);
    }

    bool NextEntry(FolderListing& listing, FolderEntry& next) override {
        Cursor& c = cursors_.at(static_cast<size_t>(listing.handle));
        if (!c.open) throw std::logic_error("listing used after close");
        const std::vector<Entry>& entries = folders_.at(c.folder);
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
        --openListings_;
    }

    bool IdentityOf(const char* folder, FolderIdentity& identity) override {
        ++identityQueries_;
        std::string real;
        if (!identities_ || !ResolveFolder(Plain(folder), real)) return false;
        auto found = folders_.find(real);
        identity = {7, 0, static_cast<uint32_t>(std::distance(folders_.begin(), found))};
        return true;
    }

    bool CanOpenExclusively(const char* path) override {
        return !Fails("CanOpenExclusively") && Exists(path) && !heldOpen_.count(path);
    }

    CreateStatus CreateNew(const char* path) override {
        created_.push_back(path);
        std::string parent, name, real;
        if (Fails("CreateNew") || !open_.empty() || !SplitPlain(path, parent, name) || !ResolveFolder(parent, real)) {
            return CreateStatus::kFailed;
        }
        if (Find(folders_.at(real), name)) return CreateStatus::kExists;
        AddFile(real, name, 0);
        open_ = path;
        return CreateStatus::kOk;
    }

    bool Write(const void* data, uint32_t size, uint32_t* written) override {
        *written = 0;
        if (open_.empty()) return false;
        if (Fails("Write")) size /= 2;
        EntryAt(open_)->data.append(static_cast<const char*>(data), size);
        *written = size;
        return true;
    }

    bool Flush() override { return !Fails("Flush") && !open_.empty(); }

    bool Close() override {
        bool wasOpen = !open_.empty();
        open_.clear();
        return !Fails("Close") && wasOpen;
    }

    bool SetAttributes(const char* path, uint32_t attributes) override {
        if (Fails("SetAttributes") || !Exists(path)) return false;
        EntryAt(path)->attributes = attributes & (kAttributeHidden | kAttributeSystem | kAttributeArchive);
        return true;
    }

    MoveStatus MoveReplacing(const char* from, const char* to) override {
        if (!replacingMove_) return Fails("MoveReplacing"), MoveStatus::kUnsupported;
        if (Fails("MoveReplacing") || !Movable(from)) return MoveStatus::kFailed;
        if (busyMoves_ > 0) {
            --busyMoves_;
            return MoveStatus::kBusy;
        }
        if (heldOpen_.count(to)) return MoveStatus::kBusy;
        std::string parent, name, real;
        if (!SplitPlain(to, parent, name) || !ResolveFolder(parent, real)) return MoveStatus::kFailed;
        Carry(from, to);
        return MoveStatus::kOk;
    }

    bool Rename(const char* from, const char* to) override {
        std::string parent, name, real;
        if (Fails("Rename") || !Movable(from) || EntryAt(to) || !SplitPlain(to, parent, name) ||
            !ResolveFolder(parent, real)) {
            return false;
        }
        Carry(from, to);
        return true;
    }

    // As the system does: never a read-only file, never a folder.
    bool Remove(const char* path) override {
        if (Fails("Remove") || !Exists(path) || open_ == path || heldOpen_.count(path) ||
            (AttributesOf(path) & kAttributeReadOnly)) {
            return false;
        }
        std::string parent, name, real;
        SplitPlain(path, parent, name);
        ResolveFolder(parent, real);
        std::vector<Entry>& entries = folders_.at(real);
        entries.erase(entries.begin() + (Find(entries, name) - entries.data()));
        return true;
    }

    void Pause(uint32_t milliseconds) override { pausedMs_ += milliseconds; }

private:
    struct Entry {
        std::string name;
        uint32_t attributes;
        std::string linkTarget;  // a folder link: the folder it leads to
        std::string data;        // a file's contents
    };
    struct Cursor {
        std::string folder;
        size_t index;
        bool open;
    };

    static std::string Root(char letter) { return std::string(1, AsciiUpper(letter)) + ":"; }

    // The names of path, each a whole name (a trail byte 0x5C splits nothing).
    static std::vector<std::string> Names(const std::string& path) {
        std::vector<std::string> names(1);
        for (size_t i = 0; i < path.size();) {
            size_t width = SystemCodePage().Width(path.c_str() + i);
            if (width == 1 && path[i] == '\\') names.emplace_back();
            else names.back() += path.substr(i, width);
            i += width;
        }
        return names;
    }
    // Without a closing "\"; a root is "X:".
    static std::string Plain(const std::string& path) {
        std::string p = path;
        if (!p.empty() && EndsWithBackslash(p.c_str())) p.pop_back();
        return p;
    }
    static std::string Folded(const std::string& path) {
        std::string folded;
        for (size_t i = 0; i < path.size();) {
            size_t width = SystemCodePage().Width(path.c_str() + i);
            folded += width == 1 ? std::string(1, AsciiUpper(path[i])) : path.substr(i, width);
            i += width;
        }
        return Plain(folded);
    }
    // parent and name of a path, split at its last separator of its own.
    static bool SplitPlain(const std::string& path, std::string& parent, std::string& name) {
        std::vector<std::string> names = Names(Plain(path));
        if (names.size() < 2) return false;
        name = names.back();
        parent = names[0];
        for (size_t i = 1; i + 1 < names.size(); ++i) parent += "\\" + names[i];
        return true;
    }
    static void Split(const std::string& path, std::string& parent, std::string& name) {
        if (!SplitPlain(path, parent, name)) throw std::logic_error("no folder in " + path);
    }

    static Entry* Find(std::vector<Entry>& entries, const std::string& name) {
        for (Entry& e : entries) {
            if (e.name == name) return &e;
        }
        for (Entry& e : entries) {
            if (Folded(e.name) == Folded(name)) return &e;
        }
        return nullptr;
    }

    // The drive's root and every folder down to path, made as needed;
    // returns the folder's own path.
    std::string MakeFolder(const std::string& path) {
        std::vector<std::string> names = Names(path);
        std::string real = Root(names[0][0]);
        folders_[real];
        for (size_t i = 1; i < names.size(); ++i) {
            std::string next;
            if (ResolveFolder(real + "\\" + names[i], next)) {
                real = next;
            } else {
                AddFolder(real, names[i]);
                real += "\\" + names[i];
            }
        }
        return real;
    }

    // Follows links name by name to the folder's own path.
    bool ResolveFolder(const std::string& path, std::string& real) {
        std::vector<std::string> names = Names(Plain(path));
        if (names[0].size() != 2 || names[0][1] != ':') return false;
        real = Root(names[0][0]);
        if (!folders_.count(real)) return false;
        for (size_t i = 1; i < names.size(); ++i) {
            Entry* hit = Find(folders_.at(real), names[i]);
            if (!hit || !(hit->attributes & kAttributeDirectory)) return false;
            real = hit->linkTarget.empty() ? real + "\\" + hit->name : hit->linkTarget;
        }
        return folders_.count(real) != 0;
    }

    Entry* EntryAt(const std::string& path) {
        std::string parent, name, real;
        if (!SplitPlain(path, parent, name) || !ResolveFolder(parent, real)) return nullptr;
        return Find(folders_.at(real), name);
    }

    PathKind Probe(const char* path, uint32_t* attributes, bool) {
        std::string real;
        if (ResolveFolder(path, real)) {
            if (attributes) *attributes = kAttributeDirectory;
            return PathKind::kFolder;
        }
        Entry* entry = EntryAt(path);
        if (!entry) return PathKind::kMissing;
        if (attributes) *attributes = entry->attributes;
        return (entry->attributes & kAttributeDirectory) ? PathKind::kFolder : PathKind::kFile;
    }

    bool Movable(const char* from) { return Exists(from) && open_ != from && !heldOpen_.count(from); }

    void Carry(const std::string& from, const std::string& to) {
        Entry moved = *EntryAt(from);
        std::string parent, name, real;
        SplitPlain(from, parent, name);
        ResolveFolder(parent, real);
        std::vector<Entry>& source = folders_.at(real);
        source.erase(source.begin() + (Find(source, name) - source.data()));
        SplitPlain(to, parent, name);
        ResolveFolder(parent, real);
        std::vector<Entry>& target = folders_.at(real);
        if (Entry* old = Find(target, name)) target.erase(target.begin() + (old - target.data()));
        moved.name = name;
        target.push_back(moved);
    }

    bool Fails(const char* name) {
        callNames_.push_back(name);
        bool byIndex = calls_++ == failAt_;
        if (name != failOperation_) return byIndex;
        int nth = seen_[name]++;
        return byIndex || (nth >= failSkip_ && nth < failSkip_ + failCount_);
    }

    DriveType types_[26];
    std::map<std::string, std::vector<Entry>> folders_;
    std::set<std::string> unlistable_;
    std::set<std::string> uncreatable_;
    std::set<std::string> heldOpen_;
    std::vector<Cursor> cursors_;
    std::vector<std::string> listed_;
    std::vector<std::string> created_;
    std::vector<std::string> createdFolders_;
    std::vector<std::string> callNames_;
    std::map<std::string, int> seen_;
    std::string open_;
    bool identities_ = true;
    bool replacingMove_ = true;
    int busyMoves_ = 0;
    uint32_t pausedMs_ = 0;
    size_t patternLimit_ = 100000;
    int openListings_ = 0;
    int mostOpen_ = 0;
    int identityQueries_ = 0;
    int failAt_ = -1;
    std::string failOperation_;
    int failSkip_ = 0;
    int failCount_ = 0;
    int calls_ = 0;
};
