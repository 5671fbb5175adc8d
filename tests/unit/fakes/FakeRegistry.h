// An in-memory per-user registry that can fail at a chosen call.
#pragma once

#include <cstring>
#include <map>
#include <set>
#include <string>

#include "platform/Registry.h"

class FakeRegistry : public Registry {
public:
    enum class Type { kString, kExpandString, kDword };
    struct Value {
        Type type;
        std::string data;
    };

    void AddKey(const std::string& path) { keys_.insert(path); }
    bool HasKey(const std::string& path) const { return keys_.count(path) > 0; }
    void Put(const std::string& key, const std::string& name, const std::string& data,
             Type type = Type::kString) {
        AddKey(key);
        values_[key + "|" + name] = Value{type, data};
    }
    const Value* Get(const std::string& key, const std::string& name) const {
        auto it = values_.find(key + "|" + name);
        return it == values_.end() ? nullptr : &it->second;
    }
    // The call with this index (0 = first) fails; -1: none does.
    void FailAtCall(int index) { failAt_ = index; }
    int Calls() const { return calls_; }

    bool OpenOrCreateKey(const char* path) override {
        if (Fails()) return false;
        AddKey(path);
        key_ = path;
        subkey_.clear();
        return true;
    }
    RegStatus OpenSubkey(const char* name) override {
        if (Fails() || key_.empty()) return RegStatus::kFailed;
        std::string path = key_ + "\\" + name;
        if (!HasKey(path)) return RegStatus::kMissing;
        subkey_ = path;
        return RegStatus::kOk;
    }
    bool CreateSubkey(const char* name) override {
        if (Fails() || key_.empty()) return false;
        subkey_ = key_ + "\\" + name;
        AddKey(subkey_);
        return true;
    }
    RegStatus GetString(const char* name, char* out, size_t capacity) override {
        if (Fails() || subkey_.empty()) return RegStatus::kFailed;
        const Value* value = Get(subkey_, name);
        if (!value) return RegStatus::kMissing;
        if (value->type == Type::kDword) return RegStatus::kWrongType;
        if (value->data.size() + 1 > capacity) return RegStatus::kFailed;
        std::memcpy(out, value->data.c_str(), value->data.size() + 1);
        return RegStatus::kOk;
    }
    bool SetString(const char* name, const char* data) override {
        if (Fails() || subkey_.empty()) return false;
        values_[subkey_ + "|" + name] = Value{Type::kString, data};
        return true;
    }

private:
    bool Fails() { return calls_++ == failAt_; }

    std::set<std::string> keys_;
    std::map<std::string, Value> values_;
    std::string key_;
    std::string subkey_;
    int failAt_ = -1;
    int calls_ = 0;
};
