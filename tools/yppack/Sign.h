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

// Signs the updater's bytes with SHA-256 and checks the signature with
// osslsigncode verify (trusting the key's own certificates as well as the
// system's); returns the signed bytes. The tools work on files in a folder
// of this run's own (mkdtemp, in TMPDIR or /tmp), so nothing beside OUT is
// read, written or removed; it goes, with all in it, when this returns,
// throws or is stopped by an interrupt (kInterruptSignals). A key in the
// legacy format (RC2-40, OpenSSL 1.x's default) signs as any other. Throws
// Failure with the tool's own message when the key does not load, the
// password is wrong or the signature does not verify.
Bytes SignBundle(const Bytes& unsignedBytes, const SignOptions& options);

}  // namespace yppack
