#include "dev/install/installation_registry.h"

#include "log/log.h"
#include "platform/clock.h"
#include "support/registry_files.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>

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

TEST_F(InstallationRegistryTest, TheNewestVersionWinsAcrossBothRoots) {
    records(installation(kUser, 8), installation(kMachine, 7));
    EXPECT_EQ(chosen(7, 20), Choice("/opt/user8/bin", 8));
    records(installation(kUser, 7), installation(kMachine, 9));
    EXPECT_EQ(chosen(7, 20), Choice("/opt/machine9/bin", 9));
}

TEST_F(InstallationRegistryTest, OnEqualVersionsTheCurrentUserWins) {
    records(installation(kUser, 8), installation(kMachine, 8));
    EXPECT_EQ(chosen(7, 20), Choice("/opt/user8/bin", 8));
    EXPECT_EQ(registry.get_bin_name(7, 20), folder.file("user8-photara"));
    EXPECT_EQ(registry.get_resources_folder(7, 20), "/opt/user8/resources");
}

TEST_F(InstallationRegistryTest, OnlyVersionsInRangeCount) {
    records(installation(kUser, 8), installation(kMachine, 7));
    EXPECT_EQ(chosen(5, 7), Choice("/opt/machine7/bin", 7));
    EXPECT_EQ(chosen(9, 20), Choice("", kUntouched));
    EXPECT_EQ(registry.get_bin_name(9, 20), "");
    EXPECT_EQ(registry.get_resources_folder(9, 20), "");
}

TEST_F(InstallationRegistryTest, AnInstallationWithoutItsExecutableIsPassedOver) {
    records(installation(kUser, 10, false) + installation(kUser, 9) +
            "[HKEY_CURRENT_USER\\SOFTWARE\\Vantel\\Photara 11]\n\"BinFolder\"=\"/opt/no-bin\"\n");
    EXPECT_EQ(chosen(5, 20), Choice("/opt/user9/bin", 9));
}

TEST_F(InstallationRegistryTest, TheActivePathNamesTheVersionFirst) {
    const std::string installed = installation(kUser, 9) + installation(kUser, 10);
    records(
        base(kUser, "\"PhotaraActivePath\"=\"C:\\\\Program Files\\\\Vantel\\\\Photara 9\\\\\"\n") +
        installed);
    EXPECT_EQ(chosen(5, 20), Choice("/opt/user9/bin", 9));
    // Out of range, or naming no installation: the highest installed version.
    EXPECT_EQ(chosen(10, 20), Choice("/opt/user10/bin", 10));
    records(base(kUser, "\"PhotaraActivePath\"=\"/opt/vantel/Photara 12/\"\n") + installed);
    EXPECT_EQ(chosen(5, 20), Choice("/opt/user10/bin", 10));
    records(base(kUser, "\"PhotaraActivePath\"=\"/opt/vantel/Photara 9/\"\n") + installed);
    EXPECT_EQ(chosen(5, 20), Choice("/opt/user9/bin", 9));
}

TEST_F(InstallationRegistryTest, TheVersionValueComesBeforeEnumeration) {
    const std::string installed = installation(kUser, 8) + installation(kUser, 9);
    records(base(kUser, "\"PhotaraVersion\"=\"Photara 8\"\n") + installed);
    EXPECT_EQ(chosen(5, 20), Choice("/opt/user8/bin", 8));
    // The active path still comes first.
    records(base(kUser, "\"PhotaraVersion\"=\"Photara 8\"\n"
                        "\"PhotaraActivePath\"=\"/opt/Photara 9/\"\n") +
            installed);
    EXPECT_EQ(chosen(5, 20), Choice("/opt/user9/bin", 9));
}

TEST_F(InstallationRegistryTest, AVersionValueOutOfRangeIsPassedOver) {
    records(base(kUser, "\"PhotaraVersion\"=\"Photara 11\"\n") + installation(kUser, 11) +
            installation(kUser, 9) + installation(kUser, 8));
    EXPECT_EQ(chosen(7, 10), Choice("/opt/user9/bin", 9));
    EXPECT_EQ(chosen(7, 20), Choice("/opt/user11/bin", 11));
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

TEST_F(InstallationRegistryTest, PortsAndTheirStatus) {
    struct Case {
        std::string values;
        int status, low, high;
    };
    const Case cases[] = {
        {"\"LiveLinkPort\"=dword:00002328\n\"LiveLinkMaxPort\"=dword:00002332\n", 0, 9000, 9010},
        {"\"LiveLinkPort\"=\"9000\"\n\"LiveLinkMaxPort\"=\"10000\"\n", 0, 9000, 10000},
        {"\"LiveLinkPort\"=dword:00002328\n", -1, 9000, kUntouched},
        // The highest port is read as the same type as the lowest.
        {"\"LiveLinkPort\"=dword:00002328\n\"LiveLinkMaxPort\"=\"9010\"\n", -1, 9000, kUntouched},
        {"\"LiveLinkPort\"=\"9000\"\n\"LiveLinkMaxPort\"=dword:00002332\n", -1, 9000, kUntouched},
        {"", -2, kUntouched, kUntouched},
    };
    for (const Case& c : cases) {
        records(installation(kUser, 8, true, c.values));
        int low = kUntouched, high = kUntouched;
        EXPECT_EQ(registry.get_live_link_ports(&low, &high, 5, 20), c.status) << c.values;
        EXPECT_EQ(low, c.low) << c.values;
        EXPECT_EQ(high, c.high) << c.values;
    }
    records("");
    int low = kUntouched, high = kUntouched;
    EXPECT_EQ(registry.get_live_link_ports(&low, &high, 5, 20), -3);
    EXPECT_EQ(low, kUntouched);
}

TEST_F(InstallationRegistryTest, AMissingResourceFolderIsReportedOnStandardOutput) {
    records(std::string("[HKEY_CURRENT_USER\\SOFTWARE\\Vantel\\Photara 8]\n\"BinName\"=\"") +
            folder.write("photara", "") + "\"\n");
    ::testing::internal::CaptureStdout();
    std::string found = registry.get_resources_folder(5, 20);
    std::fflush(stdout);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Could not find Photara resource folder\n");
    EXPECT_EQ(found, "");

    records("");
    ::testing::internal::CaptureStdout();
    found = registry.get_resources_folder(5, 20);
    std::fflush(stdout);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

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
    ::testing::internal::GetCapturedStdout();
}

TEST_F(InstallationRegistryTest, LaunchStartsTheApplicationDetached) {
    std::string marker = folder.file("ran");
    std::string app =
        folder.write("photara.sh", "#!/bin/sh\necho \"ran $#\" > '" + marker + ".tmp'\nmv '" +
                                       marker + ".tmp' '" + marker + "'\n");
    ::chmod(app.c_str(), 0755);
    records("[HKEY_CURRENT_USER\\SOFTWARE\\Vantel\\Photara 8]\n\"BinName\"=\"" + app + "\"\n");
    EXPECT_FALSE(registry.launch_application(9, 20));
    ASSERT_TRUE(registry.launch_application(5, 20));

    std::string content;
    for (int tries = 0; tries < 1000 && content.empty(); ++tries) {
        platform::sleep_ms(20);
        content = test_support::read_file(marker);
    }
    EXPECT_EQ(content, "ran 0\n");
    errno = 0;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1); // no child left, not even a zombie
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(InstallationRegistryTest, TheLogGoesToTheNewestResourceFolder) {
    TempFolder resources;
    records(installation(kUser, 21),
            installation(kMachine, 20, true, "\"ResourceFolder\"=\"" + resources.path() + "\"\n"));
    vtl::Output2FILE::reset();
    SCENEAPI_LOG(vtl::logINFO) << "into the resource folder";
    vtl::Output2FILE::reset();
    std::string text = test_support::read_file(resources.file("sceneapi.log"));
    EXPECT_NE(text.find(" INFO:  into the resource folder\n"), std::string::npos) << text;
}

} // namespace
