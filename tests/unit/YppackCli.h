// Runs the real yppack command line in a private folder of its own.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tools/yppack/Container.h"

#ifdef YPPACK_EXE_PATH
class YppackCli : public testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(YPPACK_EXE_PATH)) GTEST_SKIP() << "build yppack first";
        dir_ = std::filesystem::temp_directory_path() / ("yppack-cli-" + std::to_string(getpid()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        if (!dir_.empty()) std::filesystem::remove_all(dir_);
    }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    static void Put(const std::string& path, const yppack::Bytes& bytes) {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    static yppack::Bytes Get(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return yppack::Bytes(std::istreambuf_iterator<char>(in), {});
    }
    // limits: shell commands run first, e.g. "ulimit -f 1;". Standard output
    // goes to stdoutPath.
    int Run(const std::string& args, const std::string& limits = "",
            const std::string& stdoutPath = "/dev/null") const {
        std::string command =
            limits + std::string(YPPACK_EXE_PATH) + " " + args + " >" + stdoutPath + " 2>" + Path("stderr");
        int status = system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // What the last Run wrote to standard error.
    std::string Stderr() const {
        yppack::Bytes text = Get(Path("stderr"));
        return std::string(text.begin(), text.end());
    }
    size_t FileCount() const {
        namespace fs = std::filesystem;
        return std::distance(fs::directory_iterator(dir_), fs::directory_iterator());
    }

    static std::filesystem::perms Mode(const std::string& path) {
        return std::filesystem::symlink_status(path).permissions();
    }

    std::filesystem::path dir_;
};
#endif
