// Runs osslsigncode (and openssl for the key's certificates) with argument
// vectors, never through a shell, so paths need no quoting.
#include "tools/yppack/Sign.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <vector>

#include "tools/yppack/FileIo.h"

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace yppack {

#ifdef _WIN32

Bytes SignBundle(const Bytes&, const SignOptions&) {
    throw Failure("--sign is not supported in yppack.exe: bundle without it, then sign with signtool or osslsigncode");
}

#else

namespace {

constexpr const char* kSigner = "osslsigncode";
constexpr const char* kSystemCertificates = "/etc/ssl/certs/ca-certificates.crt";
// Enough of a tool's complaint to show what went wrong.
constexpr size_t kMaxLogShown = 2000;

// The tool running now, stopped first when an interrupt comes so that it
// writes nothing more into the folder being removed.
volatile pid_t runningTool = 0;

void StopRunningTool() {
    pid_t pid = runningTool;
    if (pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

// A folder of this run's own for the tools' files, made by mkdtemp (0700)
// and removed with the files it named.
class SigningFolder {
public:
    SigningFolder() {
        const char* tmp = getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/yppack-sign-XXXXXX";
        InterruptsHeld held;
        if (!mkdtemp(&pattern[0])) {
            throw Failure("cannot make a folder for signing in " + pattern.substr(0, pattern.rfind('/')) + ": " +
                          strerror(errno));
        }
        path_ = pattern;
        slots_.push_back(InterruptRemoval::List(path_, true));
    }
    ~SigningFolder() {
        InterruptsHeld held;
        for (const std::string& file : files_) unlink(file.c_str());
        rmdir(path_.c_str());
        for (int slot : slots_) InterruptRemoval::Unlist(slot);
    }
    SigningFolder(const SigningFolder&) = delete;
    SigningFolder& operator=(const SigningFolder&) = delete;

    // A file of the folder, removed with it.
    std::string File(const char* name) {
        std::string file = path_ + "/" + name;
        slots_.push_back(InterruptRemoval::List(file, false));
        files_.push_back(file);
        return file;
    }

private:
    std::string path_;
    std::vector<std::string> files_;
    std::vector<int> slots_;
};

// Runs argv with standard input empty and both outputs in logPath; returns
// the exit status, or -1 when the program could not be run.
int Run(const std::vector<std::string>& argv, const std::string& logPath) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    fflush(nullptr);
    pid_t pid;
    {
        InterruptsHeld held;
        pid = fork();
        if (pid == 0) {
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
            for (int sig : kInterruptSignals) signal(sig, SIG_DFL);
            int in = open("/dev/null", O_RDONLY);
            int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (in < 0 || log < 0) _exit(127);
            dup2(in, 0);
            dup2(log, 1);
            dup2(log, 2);
            execvp(args[0], args.data());
            dprintf(2, "cannot run %s\n", args[0]);
            _exit(127);
        }
        if (pid < 0) return -1;
        runningTool = pid;
    }
    int status = 0;
    pid_t waited;
    do {
        waited = waitpid(pid, &status, 0);
    } while (waited < 0 && errno == EINTR);
    runningTool = 0;
    if (waited != pid) return -1;
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

Bytes SignBundle(const Bytes& unsignedBytes, const SignOptions& options) {
    InterruptRemoval::SetFirstStep(StopRunningTool);
    SigningFolder folder;
    const std::string unsignedFile = folder.File("unsigned.exe");
    const std::string signedFile = folder.File("signed.exe");
    const std::string log = folder.File("log");
    const std::string trusted = folder.File("certs.pem");
    WriteWholeFile(unsignedFile, unsignedBytes);

    std::vector<std::string> sign = {kSigner, "sign", "-pkcs12", options.key, "-h", "sha256"};
    if (!options.passFile.empty()) {
        sign.insert(sign.end(), {"-readpass", options.passFile});
    }
    if (!options.timestampUrl.empty()) sign.insert(sign.end(), {"-ts", options.timestampUrl});
    sign.insert(sign.end(), {"-in", unsignedFile, "-out", signedFile});
    RunOrFail(sign, log, "signing with " + options.key);

    // verify trusts only what -CAfile lists: the system's roots, so that a
    // certificate from a public authority chains as usual, and the key's own
    // certificates, so that a private or self-signed one verifies too.
    std::vector<std::string> certificates = {"openssl", "pkcs12", "-in", options.key, "-nokeys", "-out",
                                             trusted, "-passin"};
    certificates.push_back(options.passFile.empty() ? "pass:" : "file:" + options.passFile);
    // A key made by OpenSSL 1.x keeps its certificates under RC2-40, which
    // OpenSSL 3 reads only with its legacy provider: osslsigncode loads it
    // itself, the openssl command only when asked.
    if (Run(certificates, log) != 0) {
        certificates.insert(certificates.begin() + 2, "-legacy");
        RunOrFail(certificates, log, "reading the certificates of " + options.key);
    }
    if (std::filesystem::exists(kSystemCertificates)) {
        Bytes pem = ReadWholeFile(trusted, 16u << 20);
        Bytes system = ReadWholeFile(kSystemCertificates, 16u << 20);
        pem.insert(pem.end(), system.begin(), system.end());
        WriteWholeFile(trusted, pem);
    }
    // -ignore-cdp keeps verify off the network; before 2.6 (Debian 12's own
    // osslsigncode) verify fetched no revocation lists, and knew no option
    // to forbid it.
    std::vector<std::string> verify = {kSigner, "verify", "-in", signedFile, "-CAfile", trusted,
                                       "-TSA-CAfile", trusted, "-ignore-cdp"};
    if (Run(verify, log) != 0) {
        if (LogText(log).find("Unknown option: -ignore-cdp") != std::string::npos) verify.pop_back();
        RunOrFail(verify, log, "verifying the signature");
    }
    return ReadWholeFile(signedFile, 1u << 30);
}

#endif

}  // namespace yppack
