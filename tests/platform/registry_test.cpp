#include "platform/registry.h"

#include "platform/bounded_child.h"
#include "support/registry_files.h"
#include "support/scoped_variable.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using vtl::platform::RegistryKey;
using vtl::platform::RegistryRoot;

namespace {

class RegistryFileTest : public ::testing::Test, protected test_support::RegistryFiles {};

using test_support::text_of;

TEST_F(RegistryFileTest, ReadsUtf16FilesWithByteOrderMark) {
    const std::string text = std::string(test_support::kRegistryHeader) +
                             "[HKEY_CURRENT_USER\\K]\r\n\"Name\"=\"caf\xE9\"\r\n"; // U+00E9
    std::string utf16 = "\xFF\xFE";
    for (char c : text)
        utf16 += {c, '\0'};
    folder.write("user.reg", utf16);
    EXPECT_EQ(text_of(RegistryKey::open(RegistryRoot::current_user, "K"), "Name"), "caf\xC3\xA9");
}

TEST_F(RegistryFileTest, AMissingFileIsAnEmptyRoot) {
    EXPECT_FALSE(RegistryKey::open(RegistryRoot::current_user, "SOFTWARE").is_open());
    EXPECT_FALSE(RegistryKey::open(RegistryRoot::local_machine, "SOFTWARE").is_open());
}

// The listing of the records common to both platforms is in registry_values_test.cpp; the record
// files also name a key with a closing backslash, and list from their root.
TEST_F(RegistryFileTest, ListsBelowTheRootAndKeysNamedWithAClosingBackslash) {
    write_user("[HKEY_CURRENT_USER\\SOFTWARE\\Vantel\\Photara 9\\]\n");
    using Names = std::vector<std::string>;
    EXPECT_EQ(RegistryKey::open(RegistryRoot::current_user, "").subkey_names(), Names{"SOFTWARE"});
    EXPECT_EQ(RegistryKey::open(RegistryRoot::current_user, "software\\VANTEL\\").subkey_names(),
              Names{"Photara 9"});
    EXPECT_TRUE(
        RegistryKey::open(RegistryRoot::current_user, "SOFTWARE\\Vantel\\Photara 9").is_open());
}

TEST_F(RegistryFileTest, AStoreKeepsTheRecordsItLoaded) {
    write_user("[HKEY_CURRENT_USER\\K]\n\"V\"=\"first\"\n");
    vtl::platform::RegistryStore store =
        vtl::platform::RegistryStore::load(RegistryRoot::current_user);
    write_user("[HKEY_CURRENT_USER\\K]\n\"V\"=\"second\"\n");
    EXPECT_EQ(text_of(store.open("K"), "V"), "first");
    EXPECT_EQ(text_of(RegistryKey::open(RegistryRoot::current_user, "K"), "V"), "second");
    EXPECT_EQ(store.root(), RegistryRoot::current_user);
    EXPECT_EQ(store.location(), folder.file("user.reg"));
}

TEST_F(RegistryFileTest, AStoreTellsWhatBecameOfItsFile) {
    using State = vtl::platform::RegistryStore::State;
    const std::string fifo = folder.file("fifo.reg");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string big = folder.write("big.reg", "");
    ASSERT_EQ(::truncate(big.c_str(), 16 * 1024 * 1024 + 1), 0);
    const std::string unreadable = folder.write("unreadable.reg", "");
    ::chmod(unreadable.c_str(), 0);
    const bool privileged = ::geteuid() == 0;
    const std::pair<std::string, State> cases[] = {
        {folder.write("records.reg", "x"), State::read},
        {folder.file("missing.reg"), State::missing},
        {folder.path(), State::not_regular_file},
        {fifo, State::not_regular_file},
        {"/dev/null", State::not_regular_file},
        {big, State::unreadable},
        {unreadable, privileged ? State::read : State::unreadable},
    };
    for (const auto& c : cases) {
        ::setenv("SCENEAPI_HKLM_REG", c.first.c_str(), 1);
        // Bounded: a pipe without a writer or an endless device must not hold the load up.
        const std::optional<std::string> answer = test_support::run_bounded([] {
            const vtl::platform::RegistryStore store =
                vtl::platform::RegistryStore::load(RegistryRoot::local_machine);
            return std::to_string(static_cast<int>(store.state())) + " " + store.location();
        });
        EXPECT_EQ(answer, std::to_string(static_cast<int>(c.second)) + " " + c.first);
    }
}

TEST_F(RegistryFileTest, CurrentUserFileDefaultsToTheConfigFolder) {
    ::unsetenv("SCENEAPI_HKCU_REG");
    std::filesystem::create_directories(folder.file("config/vantel"));
    folder.write("config/vantel/registry.reg",
                 std::string(test_support::kRegistryHeader) + "[HKEY_CURRENT_USER\\C]\n");
    std::filesystem::create_directories(folder.file("home/.config/vantel"));
    folder.write("home/.config/vantel/registry.reg",
                 std::string(test_support::kRegistryHeader) + "[HKEY_CURRENT_USER\\H]\n");

    test_support::ScopedVariable home("HOME", folder.file("home").c_str());
    test_support::ScopedVariable config("XDG_CONFIG_HOME", folder.file("config").c_str());
    EXPECT_TRUE(RegistryKey::open(RegistryRoot::current_user, "C").is_open());
    EXPECT_FALSE(RegistryKey::open(RegistryRoot::current_user, "H").is_open());
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_FALSE(RegistryKey::open(RegistryRoot::current_user, "C").is_open());
    EXPECT_TRUE(RegistryKey::open(RegistryRoot::current_user, "H").is_open());
}

} // namespace
