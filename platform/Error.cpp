// Builds error messages without the C library's formatting.
#include "platform/Error.h"

#include "platform/Text.h"

Error Error::Make(const char* pattern, const char* arg) {
    Error e;
    TextBuilder out(e.text_, kCapacity);
    for (const char* p = pattern; *p; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            e.nameStart_ = static_cast<uint16_t>(out.Length());
            out.Append(arg ? arg : "");
            e.nameEnd_ = static_cast<uint16_t>(out.Length());
            out.Append(p + 2, kProgramCodePage);
            return e;
        }
        // Step over a double-byte character whole: its trail byte may be '%'.
        size_t width = kProgramCodePage.Width(p);
        out.AppendBytes(p, width, kProgramCodePage);
        p += width - 1;
    }
    return e;
}
