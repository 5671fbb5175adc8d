// In-memory files for the replace steps; any call can be made to fail.
#pragma once

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/FileStore.h"

class FakeFileStore : public FileStore {
public:
    void AddFolder(const std::string& folder) { folders_.insert(folder); }
    // Also adds the file's folder.
    void Put(const std::string& path, const std::string& data) {
        AddFolder(FolderOf(path));
        files_[path] = data;
    }
    void SetReadOnly(const std::string& path) { readOnly_.insert(path); }
    void SetAttributes(const std::string& path, uint32_t attributes) { attributes_[path] = attributes; }
    uint32_t AttributesOf(const std::string& path) const {
        auto it = attributes_.find(path);
        return it == attributes_.end() ? 0 : it->second;
    }
    void HoldOpen(const std::string& path) { heldOpen_.insert(path); }
    // Windows 98/Me: no replacing move.
    void WithoutReplacingMove() { replacingMove_ = false; }
    // The next count replacing moves find a file held for a moment, as a
    // virus scanner does with a fresh .exe.
    void BusyMoves(int count) { busyMoves_ = count; }
    uint32_t PausedMs() const { return pausedMs_; }

    bool Exists(const std::string& path) const { return files_.count(path) > 0; }
    std::string Read(const std::string& path) const {
        auto it = files_.find(path);
        return it == files_.end() ? "<missing>" : it->second;
    }
    size_t FileCount() const { return files_.size(); }
    bool FileOpen() const { return !open_.empty(); }

    // The call with this index (0 = first) fails; -1: none does. A failing
    // write takes half the bytes, as a full disk does.
    void FailAtCall(int index) { failAt_ = index; }
    // The calls of one operation that fail: after skip good ones, count in a row.
    void FailOperation(const std::string& name, int skip = 0, int count = 1) {
        failOperation_ = name;
        failSkip_ = skip;
        failCount_ = count;
    }
    // Every path CreateNew was asked for, in order.
    const std::vector<std::string>& Created() const { return created_; }
    int Calls() const { return calls_; }
    // The operation each call made, in order: "Kind", "Remove", ...
    const std::vector<std::string>& CallNames() const { return callNames_; }

    FileKind Kind(const char* path, uint32_t* attributes) override {
        if (attributes) *attributes = 0;
        if (Fails("Kind")) return FileKind::kOther;
        if (folders_.count(std::string(path) + "\\")) return FileKind::kOther;
        if (!Exists(path)) return FileKind::kMissing;
        if (readOnly_.count(path)) return FileKind::kReadOnlyFile;
        if (attributes) *attributes = AttributesOf(path);
        return FileKind::kFile;
    }
    bool CanOpenExclusively(const char* path) override {
        return !Fails("CanOpenExclusively") && Exists(path) && !heldOpen_.count(path);
    }
    CreateStatus CreateNew(const char* path) override {
        created_.push_back(path);
        if (Fails("CreateNew") || !open_.empty() || !folders_.count(FolderOf(path))) {
            return CreateStatus::kFailed;
        }
        if (Exists(path)) return CreateStatus::kExists;
        files_[path] = "";
        open_ = path;
        return CreateStatus::kOk;
    }
    bool Write(const void* data, uint32_t size, uint32_t* written) override {
        *written = 0;
        if (open_.empty()) return false;
        if (Fails("Write")) size /= 2;
        files_[open_].append(static_cast<const char*>(data), size);
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
        attributes_[path] = attributes & kPassedOnAttributes;
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
        Carry(from, to);
        readOnly_.erase(to);
        return MoveStatus::kOk;
    }
    bool Rename(const char* from, const char* to) override {
        if (Fails("Rename") || !Movable(from) || Exists(to) || !folders_.count(FolderOf(to))) return false;
        Carry(from, to);
        if (readOnly_.erase(from)) readOnly_.insert(to);
        return true;
    }
    // As the system does: never a read-only file, never a folder.
    bool Remove(const char* path) override {
        if (Fails("Remove") || !Exists(path) || open_ == path || heldOpen_.count(path) ||
            readOnly_.count(path)) {
            return false;
        }
        files_.erase(path);
        attributes_.erase(path);
        return true;
    }
    void Pause(uint32_t milliseconds) override { pausedMs_ += milliseconds; }

private:
    static std::string FolderOf(const std::string& path) {
        size_t slash = path.rfind('\\');
        return slash == std::string::npos ? "" : path.substr(0, slash + 1);
    }
    bool Movable(const char* from) const {
        return Exists(from) && open_ != from && !heldOpen_.count(from);
    }
    bool Fails(const char* name) {
        callNames_.push_back(name);
        bool byIndex = calls_++ == failAt_;
        if (name != failOperation_) return byIndex;
        int nth = seen_[name]++;
        return byIndex || (nth >= failSkip_ && nth < failSkip_ + failCount_);
    }
    void Carry(const char* from, const char* to) {
        files_[to] = files_[from];
        files_.erase(from);
        attributes_[to] = AttributesOf(from);
        attributes_.erase(from);
    }

    std::map<std::string, std::string> files_;
    std::set<std::string> folders_;
    std::set<std::string> readOnly_;
    std::set<std::string> heldOpen_;
    std::map<std::string, uint32_t> attributes_;
    std::vector<std::string> callNames_;
    std::string open_;
    bool replacingMove_ = true;
    int busyMoves_ = 0;
    uint32_t pausedMs_ = 0;
    int failAt_ = -1;
    std::string failOperation_;
    int failSkip_ = 0;
    int failCount_ = 0;
    std::map<std::string, int> seen_;
    std::vector<std::string> created_;
    int calls_ = 0;
};
