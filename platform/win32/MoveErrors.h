// How a failed replacing move (MoveFileEx) is read. Free of <windows.h>, so
// that the native tests hold the codes to their meaning.
#pragma once

#include "platform/FileSystem.h"

constexpr unsigned long kErrorInvalidFunction = 1;
constexpr unsigned long kErrorAccessDenied = 5;
constexpr unsigned long kErrorSharingViolation = 32;
constexpr unsigned long kErrorNotSupported = 50;
constexpr unsigned long kErrorCallNotImplemented = 120;

constexpr MoveStatus MoveStatusOfError(unsigned long error) {
    switch (error) {
    // Windows 98/Me answer "not implemented"; a 9x file system driver or a
    // network redirector may say "invalid function" or "not supported":
    // each means the rename path must do it.
    case kErrorCallNotImplemented:
    case kErrorInvalidFunction:
    case kErrorNotSupported:
        return MoveStatus::kUnsupported;
    // A scanner holding the fresh file for a moment.
    case kErrorSharingViolation:
    case kErrorAccessDenied:
        return MoveStatus::kBusy;
    }
    return MoveStatus::kFailed;
}
