// A read-only byte source over one of the program's own RCDATA resources.
#pragma once

#include <windows.h>

#include "platform/ByteStream.h"
#include "platform/Error.h"

class ResourceStream : public ByteSource {
public:
    ResourceStream() = default;
    ~ResourceStream() override { Release(); }
    ResourceStream(const ResourceStream&) = delete;
    ResourceStream& operator=(const ResourceStream&) = delete;

    // Fails with the not-found error naming the resource.
    Error Open(const char* name);
    void Release();

    uint32_t Read(void* dst, uint32_t count) override;
    uint32_t Size() const override { return size_; }

private:
    HGLOBAL loaded_ = nullptr;
    const BYTE* bytes_ = nullptr;
    uint32_t size_ = 0;
    uint32_t position_ = 0;
};
