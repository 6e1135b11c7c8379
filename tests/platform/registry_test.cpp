#include "platform/registry.h"

#include "platform/bounded_child.h"
#include "support/registry_files.h"
#include "support/scoped_variable.h"

#include <algorithm>
#include <cstdint>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using vtl::platform::RegistryKey;
using vtl::platform::RegistryRoot;

namespace {

class RegistryFileTest : public ::testing::Test, protected test_support::RegistryFiles {};

std::string text_of(const RegistryKey& key, const std::string& name, std::size_t limit = 2048) {
    std::string value = "<unread>";
    key.read_text(name, limit, value);
    return value;
}

// What a key's values read as: texts ("<unread>": refused) and numbers (-1: refused).
TEST_F(RegistryFileTest, ValuesReadAsTheRecordsHoldThem) {
    struct Text {
        const char* name;
        std::string text;
        std::size_t limit = 2048; // bytes for the text and its terminator, as UTF-16
    };
    struct Case {
        std::string records; // user.reg after its header line
        const char* key;
        std::vector<Text> texts;
        std::vector<std::pair<const char*, std::int64_t>> numbers;
    };
    const std::string fits(259, 'x'), too_long(260, 'x');
    const std::string wide = std::string(258, 'x') + "\xF0\x9F\x98\x80"; // a surrogate pair
    const Case cases[] = {
        {"[HKEY_CURRENT_USER\\SOFTWARE\\Vantel\\Photara 8]\n"
         "\"BinName\"=\"/opt/photara8/bin/photara\"\n\"Quoted\"=\"a \\\"b\\\" c:\\\\d\\\\\"\n"
         "\"Empty\"=\"\"\n\"LiveLinkPort\"=dword:00002328\n\"Big\"=dword:FFFFFFFE\n"
         "@=\"default\"\n",
         "SOFTWARE\\Vantel\\Photara 8",
         {{"BinName", "/opt/photara8/bin/photara"},
          {"Quoted", "a \"b\" c:\\d\\"},
          {"Empty", ""},
          {"", "default"}},
         {{"LiveLinkPort", 9000}, {"Big", 0xFFFFFFFE}}},
        // Key and value names ignore case; the parent holds none of its child's values.
        {"[hkey_current_user\\software\\VANTEL\\photara 8]\r\n\"binname\"=\"/x\"\r\n",
         "SOFTWARE\\Vantel\\Photara 8",
         {{"BinName", "/x"}},
         {}},
        {"[HKEY_CURRENT_USER\\SOFTWARE\\Vantel\\Photara 8]\n\"BinName\"=\"/x\"\n",
         "SOFTWARE\\Vantel\\",
         {{"BinName", "<unread>"}},
         {}},
        // Malformed lines are skipped; "[unclosed section" ends K's values.
        {"[HKEY_CURRENT_USER\\K]\n\"Unterminated\"=\"abc\n\"BadEscape\"=\"a\\nb\"\n"
         "\"Trailing\"=\"a\" x\n\"NineDigits\"=dword:000000001\n\"NotHex\"=dword:0000zz00\n"
         "\"NoDigits\"=dword:\n\"Binary\"=hex:01,02,\\\n  03,04\nNoQuotes=\"x\"\n"
         "\"NoEquals\" \"x\"\n; a comment\n[unclosed section\n\"Good\"=\"still in K\"\n"
         "[-HKEY_CURRENT_USER\\Deleted]\n\"InDeleted\"=\"x\"\n[HKEY_CLASSES_ROOT\\K]\n"
         "\"Other\"=\"x\"\n",
         "K",
         {{"Unterminated", "<unread>"},
          {"BadEscape", "<unread>"},
          {"Trailing", "<unread>"},
          {"Binary", "<unread>"},
          {"NoQuotes", "<unread>"},
          {"NoEquals", "<unread>"},
          {"InDeleted", "<unread>"},
          {"Other", "<unread>"},
          {"Good", "<unread>"}},
         {{"NineDigits", -1}, {"NotHex", -1}, {"NoDigits", -1}}},
        // Later lines override and delete values.
        {"[HKEY_CURRENT_USER\\K]\n\"A\"=\"first\"\n\"B\"=\"b\"\n"
         "[HKEY_CURRENT_USER\\K]\n\"A\"=\"second\"\n\"B\"=-\n",
         "K",
         {{"A", "second"}, {"B", "<unread>"}},
         {}},
        // Values are read only as their own type.
        {"[HKEY_CURRENT_USER\\K]\n\"Text\"=\"9000\"\n\"Number\"=dword:00000001\n",
         "K",
         {{"Number", "<unread>"}},
         {{"Text", -1}}},
        // 520 bytes hold 259 UTF-16 units and the terminator.
        {"[HKEY_CURRENT_USER\\K]\n\"Fits\"=\"" + fits + "\"\n\"Long\"=\"" + too_long +
             "\"\n\"Wide\"=\"" + wide + "\"\n",
         "K",
         {{"Fits", fits, 520},
          {"Long", "<unread>", 520},
          {"Wide", "<unread>", 520},
          {"Wide", wide, 522}},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.records.substr(0, 60));
        write_user(c.records);
        RegistryKey key = RegistryKey::open(RegistryRoot::current_user, c.key);
        ASSERT_TRUE(key.is_open());
        for (const Text& t : c.texts)
            EXPECT_EQ(text_of(key, t.name, t.limit), t.text) << t.name;
        for (const auto& [name, expected] : c.numbers) {
            std::uint32_t number = 7;
            const bool read = key.read_number(name, number);
            EXPECT_EQ(read ? std::int64_t(number) : -1, expected) << name;
            EXPECT_TRUE(read || number == 7) << name;
        }
    }
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
    vtl::platform::RegistryStore store = vtl::platform::RegistryStore::load(RegistryRoot::current_user);
    for (const Case& c : cases) {
        RegistryKey key = store.open(c.path);
        EXPECT_EQ(key.is_open(), c.open) << c.path;
        Names names = key.subkey_names();
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, c.names) << c.path;
    }
    EXPECT_EQ(vtl::platform::RegistryStore::load(RegistryRoot::local_machine)
                  .open("SOFTWARE\\Vantel")
                  .subkey_names(),
              Names());
}

TEST_F(RegistryFileTest, AStoreKeepsTheRecordsItLoaded) {
    write_user("[HKEY_CURRENT_USER\\K]\n\"V\"=\"first\"\n");
    vtl::platform::RegistryStore store = vtl::platform::RegistryStore::load(RegistryRoot::current_user);
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
        {folder.file("missing/records.reg"), State::missing},
        {folder.path(), State::not_regular_file},
        {fifo, State::not_regular_file},
        {"/dev/null", State::not_regular_file},
        {"/dev/zero", State::not_regular_file},
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
    EXPECT_STREQ(vtl::platform::registry_root_name(RegistryRoot::current_user), "HKEY_CURRENT_USER");
    EXPECT_STREQ(vtl::platform::registry_root_name(RegistryRoot::local_machine), "HKEY_LOCAL_MACHINE");
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
