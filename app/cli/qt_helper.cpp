#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <ostream>

#include "commands.h"

namespace marlix::cli {

int RunInQtHelper(std::string_view command, const Arguments& args, std::ostream& out, std::ostream& err) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::string helper =
        (error ? std::filesystem::path() : self.parent_path() / kQtHelperName).string();
    std::vector<std::string> strings{"marlix-sqa-cli", std::string(command)};
    strings.insert(strings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& s : strings) argv.push_back(s.data());
    argv.push_back(nullptr);
    out.flush();
    err.flush();
    ::execv(helper.c_str(), argv.data());
    err << "marlix-sqa-cli: cannot run " << helper << ": " << std::strerror(errno) << '\n';
    return kExitFailure;
}

}  // namespace marlix::cli
