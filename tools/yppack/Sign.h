// Authenticode signing of a finished updater through osslsigncode.
#pragma once

#include <string>

#include "tools/yppack/Container.h"

namespace yppack {

struct SignOptions {
    std::string key;       // PKCS#12 file with the certificate and its key
    std::string passFile;  // empty: the key has no password
    std::string timestampUrl;  // empty: no time stamp
};

// Signs unsignedPath into a temporary file beside it with SHA-256, checks the
// signature with osslsigncode verify (trusting the key's own certificates as
// well as the system's) and returns the signed bytes. Throws Failure with the
// tool's own message when the key does not load, the password is wrong or the
// signature does not verify; no temporary file is left either way.
Bytes SignFile(const std::string& unsignedPath, const SignOptions& options);

}  // namespace yppack
