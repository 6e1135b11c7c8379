#include "dev/install/installation_registry.h"

#include "log/log.h"
#include "platform/bounded_child.h"
#include "support/registry_files.h"

#include <climits>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <stdlib.h>
#ifndef _WIN32
#include <sys/inotify.h>
#endif
#include <sys/stat.h>
#include <unistd.h>

using test_support::TempFolder;
using vtl::InstallationRegistry;

namespace {

constexpr const char* kUser = "HKEY_CURRENT_USER";
constexpr const char* kMachine = "HKEY_LOCAL_MACHINE";
constexpr int kUntouched = 4242;

class InstallationRegistryTest : public ::testing::Test, protected test_support::RegistryFiles {
protected:
    // Returns the section of an installation whose folders are named after root and version;
    // its executable exists unless told otherwise.
    std::string installation(const char* root, int version, bool executable_exists = true,
                             const std::string& more_values = "") {
        std::string tag = (root == kUser ? "user" : "machine") + std::to_string(version);
        std::string bin = folder.file(tag + "-photara");
        if (executable_exists) folder.write(tag + "-photara", "");
        return std::string("[") + root + "\\SOFTWARE\\Vantel\\Photara " + std::to_string(version) +
               "]\n\"BinName\"=\"" + bin + "\"\n\"BinFolder\"=\"/opt/" + tag +
               "/bin\"\n\"ResourceFolder\"=\"/opt/" + tag + "/resources\"\n" + more_values;
    }

    // Returns the base key's section with the given values.
    static std::string base(const char* root, const std::string& values) {
        return std::string("[") + root + "\\SOFTWARE\\Vantel]\n" + values;
    }

    void records(const std::string& user, const std::string& machine = "") {
        write_user(user);
        write_machine(machine);
    }

    // Returns the program folder chosen for the range and its major version.
    std::pair<std::string, int> chosen(int lowest, int highest) {
        int major = kUntouched;
        std::string bin_folder = registry.get_bin_folder(&major, lowest, highest);
        return {bin_folder, major};
    }

    InstallationRegistry& registry = InstallationRegistry::instance();
};

using Choice = std::pair<std::string, int>;

#ifndef _WIN32
// Counts how often each watched file is opened while it lives.
class OpenCounter {
public:
    OpenCounter() : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}
    ~OpenCounter() {
        if (fd_ >= 0) ::close(fd_);
    }
    OpenCounter(const OpenCounter&) = delete;
    OpenCounter& operator=(const OpenCounter&) = delete;

    void watch(const std::string& path) {
        // Closings are watched too: the system merges an event with an equal one before it.
        names_[::inotify_add_watch(fd_, path.c_str(), IN_OPEN | IN_CLOSE)] = path;
    }

    // Returns the openings since the last call, by path.
    std::map<std::string, int> take() {
        std::map<std::string, int> counts;
        for (const auto& watched : names_)
            counts[watched.second] = 0;
        alignas(inotify_event) char buffer[4096];
        ssize_t got;
        while ((got = ::read(fd_, buffer, sizeof buffer)) > 0) {
            for (char* at = buffer; at < buffer + got;) {
                auto* event = reinterpret_cast<inotify_event*>(at);
                if (event->mask & IN_OPEN) ++counts[names_[event->wd]];
                at += sizeof(inotify_event) + event->len;
            }
        }
        return counts;
    }

private:
    int fd_;
    std::map<int, std::string> names_;
};
#endif

TEST_F(InstallationRegistryTest, TheChoiceOfInstallation) {
    const std::string active9 =
        "\"PhotaraActivePath\"=\"C:\\\\Program Files\\\\Vantel\\\\Photara 9\\\\\"\n";
    const std::string version8 = "\"PhotaraVersion\"=\"Photara 8\"\n";
    const std::string active12 = "\"PhotaraActivePath\"=\"/opt/vantel/Photara 12/\"\n";
    const std::string version8_active9 = version8 + "\"PhotaraActivePath\"=\"/opt/Photara 9/\"\n";
    const std::string version11 = "\"PhotaraVersion\"=\"Photara 11\"\n";
    const std::string no_bin_name11 =
        "[HKEY_CURRENT_USER\\SOFTWARE\\Vantel\\Photara 11]\n\"BinFolder\"=\"/opt/no-bin\"\n";
    struct Case {
        int lowest, highest;
        Choice expected;
        std::string user, machine = "";
    };
    auto user = [this](int version, bool executable_exists = true) {
        return installation(kUser, version, executable_exists);
    };
    auto machine = [this](int version) { return installation(kMachine, version); };
    const Case cases[] = {
        // The newest version wins across both roots, the current user on equal versions.
        {7, 20, {"/opt/user8/bin", 8}, user(8), machine(7)},
        {7, 20, {"/opt/machine9/bin", 9}, user(7), machine(9)},
        {7, 20, {"/opt/user8/bin", 8}, user(8), machine(8)},
        // Only versions in range count.
        {5, 7, {"/opt/machine7/bin", 7}, user(8), machine(7)},
        {9, 20, {"", kUntouched}, user(8), machine(7)},
        // An installation without its executable is passed over.
        {5, 20, {"/opt/user9/bin", 9}, user(12, false) + user(9) + no_bin_name11},
        // The active path names the version first; out of range, or naming no installation,
        // the highest installed version.
        {5, 20, {"/opt/user9/bin", 9}, base(kUser, active9) + user(9) + user(10)},
        {10, 20, {"/opt/user10/bin", 10}, base(kUser, active9) + user(9) + user(10)},
        {5, 20, {"/opt/user10/bin", 10}, base(kUser, active12) + user(9) + user(10)},
        // The version value comes before enumeration, the active path before both.
        {5, 20, {"/opt/user8/bin", 8}, base(kUser, version8) + user(8) + user(9)},
        {5, 20, {"/opt/user9/bin", 9}, base(kUser, version8_active9) + user(8) + user(9)},
        // A version value out of range is passed over.
        {7, 10, {"/opt/user9/bin", 9}, base(kUser, version11) + user(11) + user(9) + user(8)},
    };
    for (const Case& c : cases) {
        records(c.user, c.machine);
        EXPECT_EQ(chosen(c.lowest, c.highest), c.expected) << c.user << c.machine;
    }
    records(installation(kUser, 8), installation(kMachine, 8));
    EXPECT_EQ(registry.get_bin_name(7, 20), folder.file("user8-photara"));
    EXPECT_EQ(registry.get_resources_folder(7, 20), "/opt/user8/resources");
    EXPECT_EQ(registry.get_bin_name(9, 20), "");
    EXPECT_EQ(registry.get_resources_folder(9, 20), "");
}

TEST_F(InstallationRegistryTest, TheActivePathVersionIsBetweenProductNameAndLastSeparator) {
    EXPECT_EQ(InstallationRegistry::version_from_active_path("C:\\Vantel\\Photara 9\\"), 9);
    EXPECT_EQ(InstallationRegistry::version_from_active_path("/opt/Photara 12/photara/"), -1);
    EXPECT_EQ(InstallationRegistry::version_from_active_path("/opt/Photara 12/bin"), 12);
    EXPECT_EQ(InstallationRegistry::version_from_active_path("/opt/photara7x/"), 7);
    EXPECT_EQ(InstallationRegistry::version_from_active_path("Photara 9"), -1);
    EXPECT_EQ(InstallationRegistry::version_from_active_path("/x/Photara"), -1);
    EXPECT_EQ(InstallationRegistry::version_from_active_path("Photara 9\\Photara"), -1);
    EXPECT_EQ(InstallationRegistry::version_from_active_path("C:\\1\\2\\"), -1);
    EXPECT_EQ(InstallationRegistry::version_from_active_path("/opt/Photara x/"), 0);
}

TEST_F(InstallationRegistryTest, PortsTheirTypesAndTheirRange) {
    // The record's texts of the lowest and the highest port; "" where there is none.
    struct Case {
        const char *lowest, *highest;
        int status, low, high;
    };
    const Case cases[] = {
        {"dword:00002328", "dword:00002332", 0, 9000, 9010},
        {"\"9000\"", "\"10000\"", 0, 9000, 10000},
        {"dword:00002328", "", -1, 9000, kUntouched},
        // The highest port is read as the same type as the lowest.
        {"dword:00002328", "\"9010\"", -1, 9000, kUntouched},
        {"\"9000\"", "dword:00002332", -1, 9000, kUntouched},
        {"", "", -2, kUntouched, kUntouched},
        // Ports outside 1..65535 are no ports.
        {"dword:00000001", "dword:0000ffff", 0, 1, 65535},
        {"dword:00002328", "dword:00010000", -1, 9000, kUntouched},
        {"dword:00000000", "dword:00002332", -2, kUntouched, kUntouched},
        {"\"4294976296\"", "\"9010\"", -2, kUntouched, kUntouched},
        {"\"9000\"", "\"67560\"", -1, 9000, kUntouched},
    };
    for (const Case& c : cases) {
        const std::string values =
            (*c.lowest ? std::string("\"LiveLinkPort\"=") + c.lowest + "\n" : "") +
            (*c.highest ? std::string("\"LiveLinkMaxPort\"=") + c.highest + "\n" : "");
        records(installation(kUser, 8, true, values));
        int low = kUntouched, high = kUntouched;
        EXPECT_EQ(registry.get_live_link_ports(&low, &high, 5, 20), c.status) << values;
        EXPECT_EQ(low, c.low) << values;
        EXPECT_EQ(high, c.high) << values;
    }
    records("");
    int low = kUntouched, high = kUntouched;
    EXPECT_EQ(registry.get_live_link_ports(&low, &high, 5, 20), -3);
    EXPECT_EQ(low, kUntouched);
}

TEST_F(InstallationRegistryTest, ExtremeVersionRangesVisitOnlyTheRecordedVersions) {
    records(installation(kUser, 8) + installation(kUser, INT_MAX) + installation(kUser, -5) +
                installation(kUser, 0),
            installation(kMachine, 9) + installation(kMachine, INT_MIN));
    struct Case {
        int lowest, highest;
        Choice expected;
        std::string bin; // the executable's name, empty when none is found
    };
    const Case cases[] = {
        {1, INT_MAX, {"/opt/user2147483647/bin", INT_MAX}, "user2147483647-photara"},
        {INT_MIN, 8, {"/opt/user8/bin", 8}, "user8-photara"},
        {10, INT_MAX - 1, {"", kUntouched}, ""},
        {INT_MAX, INT_MIN, {"", kUntouched}, ""},
        // Versions of 0 or less never count.
        {INT_MIN, 0, {"", kUntouched}, ""},
    };
    for (const Case& c : cases) {
        const std::string range = std::to_string(c.lowest) + ".." + std::to_string(c.highest);
        std::optional<std::string> answer = test_support::run_bounded([&] {
            Choice found = chosen(c.lowest, c.highest);
            int low = kUntouched, high = kUntouched;
            int status = registry.get_live_link_ports(&low, &high, c.lowest, c.highest);
            return found.first + "|" + std::to_string(found.second) + "|" + std::to_string(status) +
                   "|" + registry.get_bin_name(c.lowest, c.highest);
        });
        ASSERT_TRUE(answer.has_value()) << range << ": the lookup did not end";
        // The installations record no ports.
        EXPECT_EQ(*answer, c.expected.first + "|" + std::to_string(c.expected.second) + "|" +
                               (c.bin.empty() ? "-3|" : "-2|" + folder.file(c.bin)))
            << range;
    }
}

TEST_F(InstallationRegistryTest, VersionKeysAreNamedByTheProductNameAndTheVersionInDecimal) {
    auto key = [this](const std::string& name, const std::string& tag) {
        folder.write(tag, "");
        return "[HKEY_CURRENT_USER\\SOFTWARE\\Vantel\\" + name + "]\n\"BinName\"=\"" +
               folder.file(tag) + "\"\n\"BinFolder\"=\"" + tag + "\"\n";
    };
    struct Case {
        std::string name;
        Choice expected;
    };
    const Case cases[] = {
        {"Photara 8", {"a", 8}},
        {"PHOTARA 8", {"a", 8}}, // key names ignore case
        {"photara 8\\", {"a", 8}},
        {"Photara 08", {"", kUntouched}},
        {"Photara +8", {"", kUntouched}},
        {"Photara  8", {"", kUntouched}},
        {"Photara 8 ", {"", kUntouched}},
        {"Photara8", {"", kUntouched}},
        {"Photara 4294967304", {"", kUntouched}}, // 2^32 + 8
        {"Other 8", {"", kUntouched}},
        {"Photara 8\\Below", {"", kUntouched}}, // the key exists, but without "BinName"
    };
    for (const Case& c : cases) {
        records(key(c.name, "a"));
        EXPECT_EQ(chosen(1, 20), c.expected) << c.name;
        EXPECT_EQ(chosen(8, 8), c.expected) << c.name;
    }
}

TEST_F(InstallationRegistryTest, EachOperationReadsEachRecordFileOnce) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows keeps the records in the registry: there are no record files to count "
                    "openings of";
#else
    records(base(kUser, "\"PhotaraVersion\"=\"Photara 7\"\n"
                        "\"PhotaraActivePath\"=\"/opt/Photara 6/\"\n") +
                installation(kUser, 8) + installation(kUser, 9, false) + installation(kUser, 10),
            installation(kMachine, 7, true, "\"LiveLinkPort\"=dword:00002328\n"));
    OpenCounter counter;
    counter.watch(folder.file("user.reg"));
    counter.watch(folder.file("machine.reg"));
    const std::map<std::string, int> once = {{folder.file("user.reg"), 1},
                                             {folder.file("machine.reg"), 1}};
    const std::pair<const char*, std::function<void()>> operations[] = {
        {"get_bin_folder", [&] { chosen(5, 9); }},
        {"get_bin_name", [&] { registry.get_bin_name(5, 20); }},
        {"get_resources_folder", [&] { registry.get_resources_folder(1, 7); }},
        {"get_live_link_ports",
         [&] {
             int low = 0, high = 0;
             registry.get_live_link_ports(&low, &high, 7, 7);
         }},
        {"launch_application", [&] { registry.launch_application(30, 40); }},
    };
    for (const auto& operation : operations) {
        counter.take();
        operation.second();
        EXPECT_EQ(counter.take(), once) << operation.first;
    }
#endif
}

// A value too long for the host's buffers counts as missing, and a missing resource folder is
// reported, unless there is no installation at all.
TEST_F(InstallationRegistryTest, ValuesLongerThan259CharactersAreNotHandedOut) {
    std::string fits = "/" + std::string(258, 'f');
    std::string too_long = "/" + std::string(259, 'f');
    records(installation(kUser, 8, true) + "\"BinFolder\"=\"" + fits + "\"\n" +
                "\"ResourceFolder\"=\"" + too_long + "\"\n",
            "");
    int major = 0;
    EXPECT_EQ(registry.get_bin_folder(&major, 5, 20), fits);
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(registry.get_resources_folder(5, 20), "");
    std::fflush(stdout);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Could not find Photara resource folder\n");

    records("");
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(registry.get_resources_folder(5, 20), "");
    std::fflush(stdout);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

// How the program starts (no arguments, nothing inherited, no child left) is the platform
// layer's; here that the chosen installation's program is the one started.
TEST_F(InstallationRegistryTest, LaunchStartsTheChosenApplication) {
    std::string marker = folder.file("ran");
#ifdef _WIN32
    // A program that reports its arguments into the marker file.
    std::string app = folder.file("photara.exe");
    std::filesystem::copy_file(HANDLE_REPORT_PROGRAM, app);
    ::setenv("HANDLE_REPORT_FILE", marker.c_str(), 1);
#else
    std::string app = folder.write("photara.sh", "#!/bin/sh\necho ran > '" + marker + "'\n");
    ::chmod(app.c_str(), 0755);
#endif
    records("[HKEY_CURRENT_USER\\SOFTWARE\\Vantel\\Photara 8]\n\"BinName\"=\"" + app + "\"\n");
    EXPECT_FALSE(registry.launch_application(9, 20));
    ASSERT_TRUE(registry.launch_application(5, 20));
    EXPECT_NE(test_support::wait_for_line(marker), "");
#ifdef _WIN32
    ::unsetenv("HANDLE_REPORT_FILE");
#endif
}

TEST_F(InstallationRegistryTest, TheLogGoesToTheNewestResourceFolder) {
    TempFolder resources;
    records(installation(kUser, 21),
            installation(kMachine, 20, true, "\"ResourceFolder\"=\"" + resources.path() + "\"\n"));
    vtl::Output2FILE::reset();
    SCENEAPI_LOG(vtl::logINFO) << "into the resource folder";
    vtl::Output2FILE::reset();
    std::string text = test_support::read_file(resources.file("sceneapi.log"));
#ifdef _WIN32
    // The log is a text file: its lines end in "\r\n" there.
    EXPECT_NE(text.find(" INFO:  into the resource folder\r\n"), std::string::npos) << text;
#else
    EXPECT_NE(text.find(" INFO:  into the resource folder\n"), std::string::npos) << text;
#endif
}

} // namespace
