#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <ostream>

#include "commands.h"

namespace marlix::cli {
namespace {

namespace fs = std::filesystem;

// Installed, the helper sits in its own folder under libexec (MARLIX_QT_HELPER_DIR, relative to the
// folder of marlix-sqa-cli, so that a relocated install still finds it); in the build tree, beside it.
fs::path QtHelperPath() {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (error) return {};
    const fs::path installed = (self.parent_path() / MARLIX_QT_HELPER_DIR / kQtHelperName).lexically_normal();
    if (fs::exists(installed, error)) return installed;
    return self.parent_path() / kQtHelperName;
}

}  // namespace

int RunInQtHelper(std::string_view command, const Arguments& args, std::ostream& out, std::ostream& err) {
    const std::string helper = QtHelperPath().string();
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
