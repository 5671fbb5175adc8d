// An operation's failure as a value: the CP932 message the user will see.
#pragma once

#include <stddef.h>
#include <stdint.h>

// The message mixes two code pages: the pattern is the program's own text,
// the name filled in is the system's (a path, a value name), and each part
// reaches the screen converted with its own.
class [[nodiscard]] Error {
public:
    static constexpr size_t kCapacity = 512;

    Error() = default;
    // Fills the first "%s" of pattern with arg; a message too long is cut at a
    // whole character so that it never ends in half a double-byte character.
    static Error Make(const char* pattern, const char* arg = "");

    explicit operator bool() const { return text_[0] != '\0'; }  // true: failed
    const char* Text() const { return text_; }
    // Where the name filled in lies in Text(): [NameStart(), NameEnd()).
    size_t NameStart() const { return nameStart_; }
    size_t NameEnd() const { return nameEnd_; }

private:
    char text_[kCapacity] = {};
    uint16_t nameStart_ = 0;
    uint16_t nameEnd_ = 0;
};
