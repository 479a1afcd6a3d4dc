// Runs one test of the current test program in a fresh process, for results that must repeat
// across processes (tables and fur built from the same seeds).
#pragma once

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern char **environ;

namespace vellimor::test_support {

// The child side: the file the parent asked for in `variable`, or nullptr when not in a child.
inline const char *child_output_path(const char *variable) { return std::getenv(variable); }

// The parent side: runs the test named by `filter` in a new process of this program with
// `variable` naming a temporary file, and returns what the child wrote there. Fails the calling
// test (empty result) when the child can't be run or does not exit cleanly.
inline std::string output_of_child_test(const char *filter, const char *variable) {
    char path[] = "/tmp/vellimor_child_XXXXXX";
    const int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    if (fd < 0) return {};
    close(fd);
    std::string entry = std::string(variable) + "=" + path;
    std::vector<char *> env;
    for (char **e = environ; *e; ++e) env.push_back(*e);
    env.push_back(entry.data());
    env.push_back(nullptr);
    std::string filter_arg = std::string("--gtest_filter=") + filter;
    char self[] = "/proc/self/exe";
    char *argv[] = {self, filter_arg.data(), nullptr};
    pid_t pid = 0;
    int status = -1;
    if (posix_spawn(&pid, self, nullptr, nullptr, argv, env.data()) == 0) waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child test " << filter;
    std::ifstream in(path);
    std::string output((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(path);
    return output;
}

}  // namespace vellimor::test_support
