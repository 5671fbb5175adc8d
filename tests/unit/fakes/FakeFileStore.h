// In-memory files for the replace steps; any call can be made to fail.
#pragma once

#include <cstring>
#include <map>
#include <set>
#include <string>

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
    void HoldOpen(const std::string& path) { heldOpen_.insert(path); }
    // Windows 98/Me: no replacing move.
    void WithoutReplacingMove() { replacingMove_ = false; }

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
    int Calls() const { return calls_; }

    FileKind Kind(const char* path) override {
        if (Fails()) return FileKind::kOther;
        if (folders_.count(std::string(path) + "\\")) return FileKind::kOther;
        if (!Exists(path)) return FileKind::kMissing;
        return readOnly_.count(path) ? FileKind::kReadOnlyFile : FileKind::kFile;
    }
    bool CanOpenExclusively(const char* path) override {
        return !Fails() && Exists(path) && !heldOpen_.count(path);
    }
    CreateStatus CreateNew(const char* path) override {
        if (Fails() || !open_.empty() || !folders_.count(FolderOf(path))) {
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
        if (Fails()) size /= 2;
        files_[open_].append(static_cast<const char*>(data), size);
        *written = size;
        return true;
    }
    bool Flush() override { return !Fails() && !open_.empty(); }
    bool Close() override {
        bool wasOpen = !open_.empty();
        open_.clear();
        return !Fails() && wasOpen;
    }
    MoveStatus MoveReplacing(const char* from, const char* to) override {
        if (!replacingMove_) return Fails(), MoveStatus::kUnsupported;
        if (Fails() || !Movable(from) || heldOpen_.count(to)) return MoveStatus::kFailed;
        files_[to] = files_[from];
        files_.erase(from);
        readOnly_.erase(to);
        return MoveStatus::kOk;
    }
    bool Rename(const char* from, const char* to) override {
        if (Fails() || !Movable(from) || Exists(to) || !folders_.count(FolderOf(to))) return false;
        files_[to] = files_[from];
        files_.erase(from);
        if (readOnly_.erase(from)) readOnly_.insert(to);
        return true;
    }
    bool Remove(const char* path) override {
        if (Fails() || !Exists(path) || open_ == path || heldOpen_.count(path)) return false;
        files_.erase(path);
        return true;
    }

private:
    static std::string FolderOf(const std::string& path) {
        size_t slash = path.rfind('\\');
        return slash == std::string::npos ? "" : path.substr(0, slash + 1);
    }
    bool Movable(const char* from) const {
        return Exists(from) && open_ != from && !heldOpen_.count(from);
    }
    bool Fails() { return calls_++ == failAt_; }

    std::map<std::string, std::string> files_;
    std::set<std::string> folders_;
    std::set<std::string> readOnly_;
    std::set<std::string> heldOpen_;
    std::string open_;
    bool replacingMove_ = true;
    int failAt_ = -1;
    int calls_ = 0;
};
