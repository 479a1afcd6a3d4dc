// Runs one of the built programs as a user would: arguments, environment changes, and its exit
// status, standard output and standard error captured separately.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/paths.h"
#include "support/test_env.h"

extern char **environ;

namespace vellimor::test {

struct ProgramResult {
    int status = -1;  // exit status, or 128 + signal
    std::string out;
    std::string err;
};

inline std::string slurp(const std::string &path) { return read_file(path); }

// Runs the executable at `path`. env: name -> value, or nullopt to remove the variable.
inline ProgramResult run_executable(const std::string &path, const std::vector<std::string> &args,
                                    const std::map<std::string, std::optional<std::string>> &env,
                                    const std::string &work_dir) {
    std::map<std::string, std::string> vars;
    for (char **e = environ; *e; ++e) {
        const std::string entry = *e;
        const auto eq = entry.find('=');
        if (eq != std::string::npos) vars[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    for (const auto &[name, value] : env) {
        if (value) vars[name] = *value;
        else vars.erase(name);
    }
    std::vector<std::string> env_strings, argv_strings = {path};
    for (const auto &[name, value] : vars) env_strings.push_back(name + "=" + value);
    argv_strings.insert(argv_strings.end(), args.begin(), args.end());
    // The null-terminated pointer lists posix_spawn takes.
    const auto pointers = [](std::vector<std::string> &strings) {
        std::vector<char *> list;
        for (auto &s : strings) list.push_back(s.data());
        list.push_back(nullptr);
        return list;
    };
    std::vector<char *> envp = pointers(env_strings), argv = pointers(argv_strings);

    const std::string out_path = work_dir + "/stdout.txt", err_path = work_dir + "/stderr.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, work_dir.c_str());
    pid_t pid = 0;
    ProgramResult result;
    if (posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), envp.data()) == 0) {
        int wstatus = 0;
        waitpid(pid, &wstatus, 0);
        result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    }
    posix_spawn_file_actions_destroy(&actions);
    result.out = slurp(out_path);
    result.err = slurp(err_path);
    return result;
}

// Runs one of the built programs (build/bin/PROGRAM).
inline ProgramResult run_program(const std::string &program, const std::vector<std::string> &args,
                                 const std::map<std::string, std::optional<std::string>> &env,
                                 const std::string &work_dir) {
    return run_executable(build_dir() + "/bin/" + program, args, env, work_dir);
}

}  // namespace vellimor::test
