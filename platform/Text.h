// Byte-string rules: which bytes begin a double-byte character, whole-character
// steps, ASCII case, and bounded appends.
#pragma once

#include <stddef.h>
#include <stdint.h>

// A code page as far as stepping through its strings goes: which bytes begin
// a double-byte character. The trail byte after one may be any byte, '\'
// (0x5C) included, so a string is never scanned byte by byte.
class CodePage {
public:
    static constexpr unsigned kShiftJis = 932;

    // The code pages whose lead bytes are known here (932, 936, 949, 950);
    // any other is single-byte.
    static constexpr CodePage Known(unsigned id) { return CodePage(id, KnownLeadBytes); }
    // A code page whose lead bytes the system tells, one byte at a time.
    static CodePage FromSystem(unsigned id, bool (*isLeadByte)(unsigned char)) {
        return CodePage(id, [isLeadByte](unsigned, unsigned c) { return isLeadByte(static_cast<unsigned char>(c)); });
    }

    unsigned Id() const { return id_; }
    constexpr bool IsLeadByte(unsigned char c) const { return (lead_[c >> 5] >> (c & 31)) & 1; }
    // Bytes in the character at text: 2 for a lead byte with a byte after
    // it, else 1 (a lead byte at the very end stands alone).
    size_t Width(const char* text) const {
        return IsLeadByte(static_cast<unsigned char>(text[0])) && text[1] != '\0' ? 2 : 1;
    }
    size_t Width(const char* text, size_t left) const {
        return left >= 2 && IsLeadByte(static_cast<unsigned char>(text[0])) ? 2 : 1;
    }

private:
    template <class Rule>
    constexpr CodePage(unsigned id, Rule isLead) : id_(id) {
        for (unsigned c = 0; c < 256; ++c) {
            if (isLead(id, c)) lead_[c >> 5] |= 1u << (c & 31);
        }
    }
    static constexpr bool KnownLeadBytes(unsigned id, unsigned c) {
        switch (id) {
        case kShiftJis:
            return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
        case 936:  // GBK
        case 949:  // Unified Hangul
        case 950:  // Big5
            return c >= 0x81 && c <= 0xFE;
        }
        return false;
    }

    unsigned id_;
    uint32_t lead_[8] = {};
};

// The program's own texts (resources/Texts.h) are always Shift-JIS.
constexpr CodePage kProgramCodePage = CodePage::Known(CodePage::kShiftJis);

// What the system hands over (paths, listed names, typed text, the record)
// is in its ANSI code page; Shift-JIS until start-up has asked the system.
const CodePage& SystemCodePage();
void SetSystemCodePage(const CodePage& codePage);

constexpr char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Offset of the last whole character of text[0, length), or length when empty.
size_t LastCharOffset(const char* text, size_t length, const CodePage& codePage = SystemCodePage());

// Appends into a fixed buffer, always NUL-terminated. An append that would not
// fit is cut at a whole character of its code page (the system's unless
// told) and marks the builder as overflowed.
class TextBuilder {
public:
    TextBuilder(char* buffer, size_t capacity);
    TextBuilder& Append(const char* text, const CodePage& codePage = SystemCodePage());
    TextBuilder& AppendBytes(const char* bytes, size_t count, const CodePage& codePage = SystemCodePage());
    bool Overflowed() const { return overflowed_; }
    size_t Length() const { return length_; }

private:
    char* buffer_;
    size_t capacity_;
    size_t length_ = 0;
    bool overflowed_ = false;
};
