// An in-memory folder tree with Windows' case-blind names; creation can fail
// at chosen paths.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/Cp932.h"
#include "platform/Folders.h"

class FakeFolders : public Folders {
public:
    FakeFolders() { kinds_[Key("C:\\")] = PathKind::kFolder; kinds_[Key("D:\\")] = PathKind::kFolder; }

    // Adds a folder (with its parents) or a file.
    void PutFolder(const std::string& path) { kinds_[Key(path)] = PathKind::kFolder; }
    void PutFile(const std::string& path) { kinds_[Key(path)] = PathKind::kFile; }
    void FailCreating(const std::string& path) { failing_.insert(Key(path)); }

    PathKind Probe(const char* path) override {
        probes.push_back(path);
        auto it = kinds_.find(Key(path));
        return it == kinds_.end() ? PathKind::kMissing : it->second;
    }

    bool CreateFolder(const char* path) override {
        std::string key = Key(path);
        if (failing_.count(key) || kinds_.count(key)) return false;
        auto it = kinds_.find(Parent(key));
        if (it == kinds_.end() || it->second != PathKind::kFolder) return false;
        kinds_[key] = PathKind::kFolder;
        created.push_back(path);
        return true;
    }

    bool IsFolder(const std::string& path) const {
        auto it = kinds_.find(Key(path));
        return it != kinds_.end() && it->second == PathKind::kFolder;
    }

    std::vector<std::string> probes;
    std::vector<std::string> created;

private:
    // Upper-cases single-byte letters only and drops a trailing "\" (but not
    // a root's); good enough for the paths the tests use.
    static std::string Key(const std::string& path) {
        std::string key;
        for (size_t i = 0; i < path.size(); ++i) {
            unsigned char c = static_cast<unsigned char>(path[i]);
            if (IsCp932LeadByte(c) && i + 1 < path.size()) {
                key += path.substr(i, 2);
                ++i;
            } else {
                key += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : static_cast<char>(c);
            }
        }
        if (key.size() > 3 && EndsWithBackslash(key.c_str())) key.pop_back();
        return key;
    }

    // The folder above key, stepping over double-byte characters whole.
    static std::string Parent(const std::string& key) {
        size_t cut = std::string::npos;
        for (size_t i = 0; i < key.size(); ++i) {
            if (IsCp932LeadByte(static_cast<unsigned char>(key[i]))) ++i;
            else if (key[i] == '\\') cut = i;
        }
        if (cut == std::string::npos) return "";
        return key.substr(0, cut > 0 && key[cut - 1] == ':' ? cut + 1 : cut);
    }

    std::map<std::string, PathKind> kinds_;
    std::set<std::string> failing_;
};
