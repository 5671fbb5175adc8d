// Runs osslsigncode (and openssl for the key's certificates) with argument
// vectors, never through a shell, so paths need no quoting.
#include "tools/yppack/Sign.h"

#include <stdio.h>

#include <filesystem>
#include <system_error>
#include <vector>

#include "tools/yppack/FileIo.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace yppack {

#ifdef _WIN32

Bytes SignFile(const std::string&, const SignOptions&) {
    throw Failure("--sign is not supported in yppack.exe: bundle without it, then sign with signtool or osslsigncode");
}

#else

namespace {

constexpr const char* kSigner = "osslsigncode";
constexpr const char* kSystemCertificates = "/etc/ssl/certs/ca-certificates.crt";
// Enough of a tool's complaint to show what went wrong.
constexpr size_t kMaxLogShown = 2000;

// Removes its file when it goes out of scope.
class TempFile {
public:
    explicit TempFile(std::string path) : path_(std::move(path)) {}
    ~TempFile() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// Runs argv with standard input empty and both outputs in logPath; returns
// the exit status, or -1 when the program could not be run.
int Run(const std::vector<std::string>& argv, const std::string& logPath) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        int in = open("/dev/null", O_RDONLY);
        int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || log < 0) _exit(127);
        dup2(in, 0);
        dup2(log, 1);
        dup2(log, 2);
        execvp(args[0], args.data());
        dprintf(2, "cannot run %s\n", args[0]);
        _exit(127);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string LogText(const std::string& logPath) {
    std::string text;
    try {
        Bytes log = ReadWholeFile(logPath, kMaxLogShown);
        text.assign(log.begin(), log.end());
    } catch (const Failure&) {
        // A longer log: its start is enough, and the failure is reported anyway.
        FILE* f = fopen(logPath.c_str(), "rb");
        if (f) {
            char buffer[kMaxLogShown];
            text.assign(buffer, fread(buffer, 1, sizeof buffer, f));
            fclose(f);
        }
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

void RunOrFail(const std::vector<std::string>& argv, const std::string& logPath, const std::string& what) {
    int status = Run(argv, logPath);
    if (status == 0) return;
    std::string log = LogText(logPath);
    if (status == 127) throw Failure(what + ": cannot run " + argv[0] + " (is it installed?)\n" + log);
    throw Failure(what + " failed:\n" + log);
}

}  // namespace

Bytes SignFile(const std::string& unsignedPath, const SignOptions& options) {
    TempFile signedFile(unsignedPath + ".signed");
    TempFile log(unsignedPath + ".log");
    TempFile trusted(unsignedPath + ".certs.pem");
    std::vector<std::string> sign = {kSigner, "sign", "-pkcs12", options.key, "-h", "sha256"};
    if (!options.passFile.empty()) {
        sign.insert(sign.end(), {"-readpass", options.passFile});
    }
    if (!options.timestampUrl.empty()) sign.insert(sign.end(), {"-ts", options.timestampUrl});
    sign.insert(sign.end(), {"-in", unsignedPath, "-out", signedFile.Path()});
    RunOrFail(sign, log.Path(), "signing with " + options.key);

    // verify trusts only what -CAfile lists: the system's roots, so that a
    // certificate from a public authority chains as usual, and the key's own
    // certificates, so that a private or self-signed one verifies too.
    std::vector<std::string> certificates = {"openssl", "pkcs12", "-in", options.key, "-nokeys", "-out",
                                             trusted.Path(), "-passin"};
    certificates.push_back(options.passFile.empty() ? "pass:" : "file:" + options.passFile);
    RunOrFail(certificates, log.Path(), "reading the certificates of " + options.key);
    if (std::filesystem::exists(kSystemCertificates)) {
        Bytes pem = ReadWholeFile(trusted.Path(), 16u << 20);
        Bytes system = ReadWholeFile(kSystemCertificates, 16u << 20);
        pem.insert(pem.end(), system.begin(), system.end());
        WriteWholeFile(trusted.Path(), pem);
    }
    RunOrFail({kSigner, "verify", "-in", signedFile.Path(), "-CAfile", trusted.Path(),
               "-TSA-CAfile", trusted.Path(), "-ignore-cdp"},
              log.Path(), "verifying the signature");
    return ReadWholeFile(signedFile.Path(), 1u << 30);
}

#endif

}  // namespace yppack
