// Fuzz target: the installation record files and the choice of an installation. The input is
// the current user's record file, optionally followed by four zero bytes and the machine's
// record file; both are written into a private folder that SCENEAPI_HKCU_REG and
// SCENEAPI_HKLM_REG name, and the public lookups of vtl::InstallationRegistry run over a few
// version ranges. Faults besides crashes: a chosen version outside the range asked for, a
// "BinName" handed out that names no readable file, and lookups of the same range that disagree
// on whether an installation exists.

#include "dev/install/installation_registry.h"
#include "platform/file_system.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr std::string_view kRootSeparator("\0\0\0\0", 4);
constexpr int kUntouched = -12345;

std::string g_user_file;
std::string g_machine_file;
// Every lookup runs on the first range; the others check the choice (folder and ports) only.
std::vector<std::pair<int, int>> g_ranges = {
    {7, 20}, {0, 64}, {-3, 3}, {8, 8}, {INT_MIN, INT_MAX}, {7, INT_MAX}};

[[noreturn]] void fault(const char* what, int lowest, int highest, const std::string& detail) {
    std::fprintf(stderr, "records_fuzz: %s (range %d..%d): %s\n", what, lowest, highest,
                 detail.c_str());
    std::abort();
}

void write_file(const std::string& path, std::string_view bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::perror(path.c_str());
        std::abort();
    }
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

void remove_files() {
    std::remove(g_user_file.c_str());
    std::remove(g_machine_file.c_str());
    const std::string folder = g_user_file.substr(0, g_user_file.rfind('/'));
    ::rmdir(folder.c_str());
}

void check_range(const vtl::InstallationRegistry& registry, int lowest, int highest,
                 bool every_lookup) {
    int major = kUntouched;
    const std::string folder = registry.get_bin_folder(&major, lowest, highest);
    const bool found = major != kUntouched;
    if (found && (major < lowest || major > highest || major < 1))
        fault("installation chosen outside the range", lowest, highest, std::to_string(major));
    if (!found && !folder.empty()) fault("folder without installation", lowest, highest, folder);

    if (every_lookup) {
        const std::string bin = registry.get_bin_name(lowest, highest);
        if (!bin.empty() && !vtl::platform::file_readable(bin))
            fault("BinName names no readable file", lowest, highest, bin);
        if (!found && !bin.empty()) fault("BinName without installation", lowest, highest, bin);
        registry.get_resources_folder(lowest, highest);
    }

    // Which ports are written for which status: the registry's own table of port values.
    int low_port = 0;
    int high_port = 0;
    const int status = registry.get_live_link_ports(&low_port, &high_port, lowest, highest);
    if ((status == -3) == found)
        fault("ports and folder disagree on the installation", lowest, highest,
              std::to_string(status));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/records_fuzz.XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        std::abort();
    }
    g_user_file = pattern + "/user.reg";
    g_machine_file = pattern + "/machine.reg";
    ::setenv("SCENEAPI_HKCU_REG", g_user_file.c_str(), 1);
    ::setenv("SCENEAPI_HKLM_REG", g_machine_file.c_str(), 1);
    std::atexit(remove_files);
    // The resource-folder lookup reports a missing folder on standard output.
    const int null_fd = ::open("/dev/null", O_WRONLY);
    if (null_fd >= 0) {
        ::dup2(null_fd, STDOUT_FILENO);
        ::close(null_fd);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find(kRootSeparator);
    write_file(g_user_file, input.substr(0, split));
    write_file(g_machine_file, split == std::string_view::npos
                                   ? std::string_view()
                                   : input.substr(split + kRootSeparator.size()));

    const vtl::InstallationRegistry& registry = vtl::InstallationRegistry::instance();
    for (std::size_t i = 0; i < g_ranges.size(); ++i)
        check_range(registry, g_ranges[i].first, g_ranges[i].second, i == 0);

    // The version named by an active-installation path, on the input as one text.
    vtl::InstallationRegistry::version_from_active_path(std::string(input));
    return 0;
}
