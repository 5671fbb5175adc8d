// An operation's failure as a value: the CP932 message the user will see.
#pragma once

#include <stddef.h>

class [[nodiscard]] Error {
public:
    static constexpr size_t kCapacity = 512;

    Error() = default;
    // Fills the first "%s" of pattern (a program text) with arg; a message too long is cut at a
    // whole character so that it never ends in half a double-byte character.
    static Error Make(const char* pattern, const char* arg = "");

    explicit operator bool() const { return text_[0] != '\0'; }  // true: failed
    const char* Text() const { return text_; }

private:
    char text_[kCapacity] = {};
};
