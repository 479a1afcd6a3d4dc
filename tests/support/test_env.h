// Helpers for tests that change the environment, the globals and the message file.
#pragma once

#include "support/test_prelude.h"
#include <unistd.h>

namespace vellimor::test {

// Sets or unsets variables for one test and restores them afterwards.
class ScopedEnv {
public:
    ~ScopedEnv() {
        for (auto &[name, value] : saved_) {
            if (value) setenv(name.c_str(), value->c_str(), 1);
            else unsetenv(name.c_str());
        }
    }
    void set(const std::string &name, const std::string &value) {
        remember(name);
        setenv(name.c_str(), value.c_str(), 1);
    }
    void unset(const std::string &name) {
        remember(name);
        unsetenv(name.c_str());
    }

private:
    void remember(const std::string &name) {
        if (saved_.count(name)) return;
        const char *old = std::getenv(name.c_str());
        saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    std::map<std::string, std::optional<std::string>> saved_;
};

// A fresh directory under the system temp directory, removed at the end of the test.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vellimor-test-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::string &path() const { return path_; }

private:
    std::string path_;
};

inline std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace vellimor::test
