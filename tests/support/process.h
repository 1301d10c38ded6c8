#pragma once

// Runs a built program as a user would, its output caught in files, for the command-line tests.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "support/text.h"

extern char** environ;

namespace marlix::test {

struct ProgramRun {
    int status = -1;  // the exit status, -1 when the program did not exit normally
    std::string out;
    std::string err;
    long peakMemoryKiB = 0;
};

// This process's environment with LC_ALL=C in place of every locale variable, so that outputs do not
// depend on the machine's locale.
inline std::vector<std::string> CLocaleEnvironment() {
    std::vector<std::string> environment{"LC_ALL=C"};
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string_view variable(*e);
        if (variable.substr(0, 3) != "LC_" && variable.substr(0, 5) != "LANG=")
            environment.emplace_back(variable);
    }
    return environment;
}

// The C-locale environment with one locale variable added, such as "LANG=de_DE.UTF-8".
inline std::vector<std::string> LocaleEnvironment(const std::string& variable) {
    std::vector<std::string> environment = CLocaleEnvironment();
    environment.front() = variable;
    return environment;
}

inline std::vector<std::string> InheritedEnvironment() {
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e) environment.emplace_back(*e);
    return environment;
}

// Starts the program (arguments[0] is its path) with stdout written to outPath and stderr to errPath
// (or to the terminal device named, when there is one); 0 when it could not be started.
inline pid_t SpawnProgram(std::vector<std::string> arguments, const std::string& outPath,
                          const std::string& errPath, std::vector<std::string> environment,
                          const std::string& terminal = "") {
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& variable : environment) envp.push_back(variable.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (terminal.empty()) {
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    } else {
        posix_spawn_file_actions_addopen(&actions, 2, terminal.c_str(), O_RDWR | O_NOCTTY, 0);
    }
    pid_t pid = 0;
    EXPECT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Runs the program to its end, in the C locale unless told otherwise; its output passes through files in
// workDir. With a terminal, stderr goes there and err stays empty.
inline ProgramRun RunProgram(const std::vector<std::string>& arguments, const std::filesystem::path& workDir,
                             const std::string& terminal = "",
                             std::vector<std::string> environment = CLocaleEnvironment()) {
    const std::string outPath = (workDir / "stdout").string(), errPath = (workDir / "stderr").string();
    ProgramRun run;
    const pid_t pid = SpawnProgram(arguments, outPath, errPath, std::move(environment), terminal);
    if (pid == 0) return run;
    int status = 0;
    rusage usage{};
    EXPECT_EQ(wait4(pid, &status, 0, &usage), pid);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.peakMemoryKiB = usage.ru_maxrss;
    run.out = ReadFile(outPath);
    run.err = terminal.empty() ? ReadFile(errPath) : "";
    return run;
}

}  // namespace marlix::test
