// The system's code page as a scope: a case runs as a system whose ANSI code
// page is id would, and the next case finds it as it was, failed or not.
#pragma once

#include "platform/Text.h"

class UsingCodePage {
public:
    explicit UsingCodePage(unsigned id) : saved_(SystemCodePage()) { SetSystemCodePage(CodePage::Known(id)); }
    ~UsingCodePage() { SetSystemCodePage(saved_); }
    UsingCodePage(const UsingCodePage&) = delete;
    UsingCodePage& operator=(const UsingCodePage&) = delete;

private:
    CodePage saved_;
};
