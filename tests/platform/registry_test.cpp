#include "platform/registry.h"

#include "platform/bounded_child.h"
#include "support/registry_files.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

using platform::RegistryKey;
using platform::RegistryRoot;

namespace {

class RegistryFileTest : public ::testing::Test, protected test_support::RegistryFiles {};

std::string text_of(const RegistryKey& key, const std::string& name, std::size_t limit = 2048) {
    std::string value = "<unread>";
    key.read_text(name, limit, value);
    return value;
}

TEST_F(RegistryFileTest, ReadsTextAndNumberValuesOfAKey) {
    write_user("[HKEY_CURRENT_USER\\SOFTWARE\\Vantel\\Photara 8]\n"
               "\"BinName\"=\"/opt/photara8/bin/photara\"\n"
               "\"Quoted\"=\"a \\\"b\\\" c:\\\\d\\\\\"\n"
               "\"Empty\"=\"\"\n"
               "\"LiveLinkPort\"=dword:00002328\n"
               "\"Big\"=dword:FFFFFFFE\n"
               "@=\"default\"\n");
    RegistryKey key = RegistryKey::open(RegistryRoot::current_user, "SOFTWARE\\Vantel\\Photara 8");
    ASSERT_TRUE(key.is_open());
    EXPECT_EQ(text_of(key, "BinName"), "/opt/photara8/bin/photara");
    EXPECT_EQ(text_of(key, "Quoted"), "a \"b\" c:\\d\\");
    EXPECT_EQ(text_of(key, "Empty"), "");
    EXPECT_EQ(text_of(key, ""), "default");
    std::uint32_t number = 0;
    ASSERT_TRUE(key.read_number("LiveLinkPort", number));
    EXPECT_EQ(number, 9000u);
    ASSERT_TRUE(key.read_number("Big", number));
    EXPECT_EQ(number, 0xFFFFFFFEu);
}

TEST_F(RegistryFileTest, KeyAndValueNamesIgnoreCase) {
    write_user("[hkey_current_user\\software\\VANTEL\\photara 8]\r\n"
               "\"binname\"=\"/x\"\r\n");
    RegistryKey key = RegistryKey::open(RegistryRoot::current_user, "SOFTWARE\\Vantel\\Photara 8");
    ASSERT_TRUE(key.is_open());
    EXPECT_EQ(text_of(key, "BinName"), "/x");
}

TEST_F(RegistryFileTest, AKeyExistsWhenItOrAKeyBelowItIsNamed) {
    write_user("[HKEY_CURRENT_USER\\SOFTWARE\\Vantel\\Photara 8]\n\"BinName\"=\"/x\"\n");
    EXPECT_TRUE(RegistryKey::open(RegistryRoot::current_user, "SOFTWARE\\Vantel\\").is_open());
    EXPECT_TRUE(RegistryKey::open(RegistryRoot::current_user, "SOFTWARE").is_open());
    EXPECT_FALSE(RegistryKey::open(RegistryRoot::current_user, "SOFTWARE\\Vant").is_open());
    EXPECT_FALSE(
        RegistryKey::open(RegistryRoot::current_user, "SOFTWARE\\Vantel\\Photara 9").is_open());
    // The parent holds none of its child's values.
    RegistryKey base = RegistryKey::open(RegistryRoot::current_user, "SOFTWARE\\Vantel\\");
    EXPECT_EQ(text_of(base, "BinName"), "<unread>");
}

TEST_F(RegistryFileTest, EachRootReadsItsOwnFileAndSections) {
    write_user("[HKEY_CURRENT_USER\\SOFTWARE\\A]\n\"V\"=\"user\"\n"
               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\B]\n\"V\"=\"machine in user file\"\n");
    write_machine("[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\n\"V\"=\"machine\"\n");
    EXPECT_EQ(text_of(RegistryKey::open(RegistryRoot::current_user, "SOFTWARE\\A"), "V"), "user");
    EXPECT_EQ(text_of(RegistryKey::open(RegistryRoot::local_machine, "SOFTWARE\\A"), "V"),
              "machine");
    EXPECT_FALSE(RegistryKey::open(RegistryRoot::current_user, "SOFTWARE\\B").is_open());
    EXPECT_FALSE(RegistryKey::open(RegistryRoot::local_machine, "SOFTWARE\\B").is_open());
}

TEST_F(RegistryFileTest, MalformedLinesAreSkipped) {
    write_user("[HKEY_CURRENT_USER\\K]\n"
               "\"Unterminated\"=\"abc\n"
               "\"BadEscape\"=\"a\\nb\"\n"
               "\"Trailing\"=\"a\" x\n"
               "\"NineDigits\"=dword:000000001\n"
               "\"NotHex\"=dword:0000zz00\n"
               "\"NoDigits\"=dword:\n"
               "\"Binary\"=hex:01,02,\\\n"
               "  03,04\n"
               "NoQuotes=\"x\"\n"
               "\"NoEquals\" \"x\"\n"
               "; a comment\n"
               "[unclosed section\n"
               "\"Good\"=\"still in K\"\n"
               "[-HKEY_CURRENT_USER\\Deleted]\n"
               "\"InDeleted\"=\"x\"\n"
               "[HKEY_CLASSES_ROOT\\K]\n"
               "\"Other\"=\"x\"\n");
    RegistryKey key = RegistryKey::open(RegistryRoot::current_user, "K");
    ASSERT_TRUE(key.is_open());
    for (const char* name : {"Unterminated", "BadEscape", "Trailing", "Binary", "NoQuotes",
                             "NoEquals", "InDeleted", "Other"})
        EXPECT_EQ(text_of(key, name), "<unread>") << name;
    std::uint32_t number = 7;
    for (const char* name : {"NineDigits", "NotHex", "NoDigits"})
        EXPECT_FALSE(key.read_number(name, number)) << name;
    EXPECT_EQ(number, 7u);
    // The "[unclosed section" line is skipped and ends K's values.
    EXPECT_EQ(text_of(key, "Good"), "<unread>");
    EXPECT_FALSE(RegistryKey::open(RegistryRoot::current_user, "Deleted").is_open());
}

TEST_F(RegistryFileTest, LaterLinesOverrideAndDeleteValues) {
    write_user("[HKEY_CURRENT_USER\\K]\n\"A\"=\"first\"\n\"B\"=\"b\"\n"
               "[HKEY_CURRENT_USER\\K]\n\"A\"=\"second\"\n\"B\"=-\n");
    RegistryKey key = RegistryKey::open(RegistryRoot::current_user, "K");
    EXPECT_EQ(text_of(key, "A"), "second");
    EXPECT_EQ(text_of(key, "B"), "<unread>");
}

TEST_F(RegistryFileTest, ValuesAreReadOnlyAsTheirOwnType) {
    write_user("[HKEY_CURRENT_USER\\K]\n\"Text\"=\"9000\"\n\"Number\"=dword:00000001\n");
    RegistryKey key = RegistryKey::open(RegistryRoot::current_user, "K");
    std::uint32_t number = 5;
    EXPECT_FALSE(key.read_number("Text", number));
    EXPECT_EQ(number, 5u);
    EXPECT_EQ(text_of(key, "Number"), "<unread>");
}

TEST_F(RegistryFileTest, TextLongerThanTheLimitIsNotRead) {
    // 520 bytes hold 259 UTF-16 units and the terminator.
    std::string fits(259, 'x');
    std::string too_long(260, 'x');
    std::string wide = std::string(258, 'x') + "\xF0\x9F\x98\x80"; // 258 + a surrogate pair
    write_user("[HKEY_CURRENT_USER\\K]\n\"Fits\"=\"" + fits + "\"\n\"Long\"=\"" + too_long +
               "\"\n\"Wide\"=\"" + wide + "\"\n");
    RegistryKey key = RegistryKey::open(RegistryRoot::current_user, "K");
    EXPECT_EQ(text_of(key, "Fits", 520), fits);
    EXPECT_EQ(text_of(key, "Long", 520), "<unread>");
    EXPECT_EQ(text_of(key, "Wide", 520), "<unread>");
    EXPECT_EQ(text_of(key, "Wide", 522), wide);
}

TEST_F(RegistryFileTest, ReadsUtf16FilesWithByteOrderMark) {
    std::string text = std::string(test_support::kRegistryHeader) +
                       "[HKEY_CURRENT_USER\\K]\r\n\"Name\"=\"caf\xC3\xA9\"\r\n";
    std::string utf16 = "\xFF\xFE";
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c == 0xC3) { // the one two-byte sequence: U+00E9
            utf16 += '\xE9';
            utf16 += '\0';
            ++i;
            continue;
        }
        utf16 += static_cast<char>(c);
        utf16 += '\0';
    }
    folder.write("user.reg", utf16);
    EXPECT_EQ(text_of(RegistryKey::open(RegistryRoot::current_user, "K"), "Name"), "caf\xC3\xA9");
}

TEST_F(RegistryFileTest, AMissingFileIsAnEmptyRoot) {
    EXPECT_FALSE(RegistryKey::open(RegistryRoot::current_user, "SOFTWARE").is_open());
    EXPECT_FALSE(RegistryKey::open(RegistryRoot::local_machine, "SOFTWARE").is_open());
}

TEST_F(RegistryFileTest, ListsTheNamesOfTheKeysDirectlyBelowAKey) {
    write_user("[HKEY_CURRENT_USER\\SOFTWARE\\Vantel\\Photara 8]\n"
               "[HKEY_CURRENT_USER\\software\\vantel\\PHOTARA 8\\Deep\\Deeper]\n"
               "[HKEY_CURRENT_USER\\SOFTWARE\\Vantel\\Implied\\Below]\n"
               "[HKEY_CURRENT_USER\\SOFTWARE\\Vantel\\Photara 9\\]\n"
               "[HKEY_CURRENT_USER\\SOFTWARE\\Vantelx\\Other]\n"
               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantel\\Machine]\n"
               "[-HKEY_CURRENT_USER\\SOFTWARE\\Vantel\\Deleted]\n"
               "[unclosed\n");
    using Names = std::vector<std::string>;
    struct Case {
        const char* path;
        bool open;
        Names names;
    };
    const Case cases[] = {
        {"SOFTWARE\\Vantel", true, {"Implied", "Photara 8", "Photara 9"}},
        {"software\\VANTEL\\", true, {"Implied", "Photara 8", "Photara 9"}},
        {"SOFTWARE\\Vantel\\Photara 8", true, {"Deep"}},
        {"SOFTWARE\\Vantel\\Implied", true, {"Below"}},
        {"SOFTWARE\\Vantel\\Photara 9", true, {}},
        {"SOFTWARE", true, {"Vantel", "Vantelx"}},
        {"", true, {"SOFTWARE"}},
        {"SOFTWARE\\Vant", false, {}},
        {"SOFTWARE\\Vantel\\Deleted", false, {}},
    };
    platform::RegistryStore store = platform::RegistryStore::load(RegistryRoot::current_user);
    for (const Case& c : cases) {
        RegistryKey key = store.open(c.path);
        EXPECT_EQ(key.is_open(), c.open) << c.path;
        Names names = key.subkey_names();
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, c.names) << c.path;
    }
    EXPECT_EQ(platform::RegistryStore::load(RegistryRoot::local_machine)
                  .open("SOFTWARE\\Vantel")
                  .subkey_names(),
              Names());
}

TEST_F(RegistryFileTest, AStoreKeepsTheRecordsItLoaded) {
    write_user("[HKEY_CURRENT_USER\\K]\n\"V\"=\"first\"\n");
    platform::RegistryStore store = platform::RegistryStore::load(RegistryRoot::current_user);
    write_user("[HKEY_CURRENT_USER\\K]\n\"V\"=\"second\"\n");
    EXPECT_EQ(text_of(store.open("K"), "V"), "first");
    EXPECT_EQ(text_of(RegistryKey::open(RegistryRoot::current_user, "K"), "V"), "second");
    EXPECT_EQ(store.root(), RegistryRoot::current_user);
    EXPECT_EQ(store.location(), folder.file("user.reg"));
}

TEST_F(RegistryFileTest, AStoreTellsWhatBecameOfItsFile) {
    using State = platform::RegistryStore::State;
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
        {folder.file("missing/records.reg"), State::missing},
        {folder.path(), State::not_regular_file},
        {fifo, State::not_regular_file},
        {"/dev/null", State::not_regular_file},
        {big, State::unreadable},
        {unreadable, privileged ? State::read : State::unreadable},
    };
    for (const auto& c : cases) {
        ::setenv("SCENEAPI_HKLM_REG", c.first.c_str(), 1);
        platform::RegistryStore store = platform::RegistryStore::load(RegistryRoot::local_machine);
        EXPECT_EQ(store.state(), c.second) << c.first;
        EXPECT_EQ(store.location(), c.first);
    }
    EXPECT_STREQ(platform::registry_root_name(RegistryRoot::current_user), "HKEY_CURRENT_USER");
    EXPECT_STREQ(platform::registry_root_name(RegistryRoot::local_machine), "HKEY_LOCAL_MACHINE");
}

TEST_F(RegistryFileTest, OnlyARegularFileHoldsRecords) {
    const std::string fifo = folder.file("fifo.reg");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_directory(folder.file("folder.reg"));
    for (const std::string& path :
         {fifo, folder.file("folder.reg"), std::string("/dev/zero"), std::string("/dev/null")}) {
        ::setenv("SCENEAPI_HKCU_REG", path.c_str(), 1);
        std::optional<std::string> answer = test_support::run_bounded([] {
            RegistryKey key = RegistryKey::open(RegistryRoot::current_user, "SOFTWARE");
            return std::string(key.is_open() ? "open" : "not open");
        });
        EXPECT_EQ(answer, std::optional<std::string>("not open")) << path;
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

    const char* old_config = std::getenv("XDG_CONFIG_HOME");
    const char* old_home = std::getenv("HOME");
    std::string saved_config = old_config ? old_config : "";
    std::string saved_home = old_home ? old_home : "";
    ::setenv("HOME", folder.file("home").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", folder.file("config").c_str(), 1);
    bool config_c = RegistryKey::open(RegistryRoot::current_user, "C").is_open();
    bool config_h = RegistryKey::open(RegistryRoot::current_user, "H").is_open();
    ::unsetenv("XDG_CONFIG_HOME");
    bool home_c = RegistryKey::open(RegistryRoot::current_user, "C").is_open();
    bool home_h = RegistryKey::open(RegistryRoot::current_user, "H").is_open();

    if (old_config) ::setenv("XDG_CONFIG_HOME", saved_config.c_str(), 1);
    if (old_home)
        ::setenv("HOME", saved_home.c_str(), 1);
    else
        ::unsetenv("HOME");
    EXPECT_TRUE(config_c);
    EXPECT_FALSE(config_h);
    EXPECT_FALSE(home_c);
    EXPECT_TRUE(home_h);
}

} // namespace
