// The installation records as the registry store reads them, on POSIX from the record files,
// on Windows from the registry (the same records written into it, see support/registry_files.h).
#include "platform/registry.h"

#include "support/registry_files.h"

#include <algorithm>
#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using test_support::text_of;
using vtl::platform::RegistryKey;
using vtl::platform::RegistryRoot;

namespace {

class RegistryRecordsTest : public ::testing::Test, protected test_support::RegistryFiles {};

// What a key's values read as. A value is read only as its own type, and a refused value leaves
// the caller's variable alone.
TEST_F(RegistryRecordsTest, ValuesReadAsTheRecordsHoldThem) {
    struct Text {
        const char* name;
        std::string text;         // "<unread>": refused
        std::size_t limit = 2048; // bytes for the text and its terminator, as UTF-16
    };
    struct Case {
        std::string records; // user.reg after its header line
        const char* key;
        std::vector<Text> texts;
        std::vector<std::pair<const char*, std::uint32_t>> numbers;
        std::vector<const char*> refused; // read neither as a text nor as a number
    };
    const std::string fits(259, 'x'), too_long(260, 'x');
    const std::string wide = std::string(258, 'x') + "\xF0\x9F\x98\x80"; // a surrogate pair
    const Case cases[] = {
        {"[HKEY_CURRENT_USER\\SOFTWARE\\Vantel\\Photara 8]\n"
         "\"BinName\"=\"/opt/photara8/bin/photara\"\n\"Quoted\"=\"a \\\"b\\\" c:\\\\d\\\\\"\n"
         "\"Empty\"=\"\"\n\"LiveLinkPort\"=dword:00002328\n\"Big\"=dword:FFFFFFFE\n"
         "@=\"default\"\n\"Text\"=\"9000\"\n",
         "SOFTWARE\\Vantel\\Photara 8",
         {{"BinName", "/opt/photara8/bin/photara"},
          {"Quoted", "a \"b\" c:\\d\\"},
          {"Empty", ""},
          {"", "default"},
          {"Text", "9000"}},
         {{"LiveLinkPort", 9000}, {"Big", 0xFFFFFFFE}},
         {}},
        // Key and value names ignore case; the parent holds none of its child's values.
        {"[hkey_current_user\\software\\VANTEL\\photara 8]\r\n\"binname\"=\"/x\"\r\n",
         "SOFTWARE\\Vantel\\Photara 8",
         {{"BinName", "/x"}},
         {},
         {}},
        {"[HKEY_CURRENT_USER\\SOFTWARE\\Vantel\\Photara 8]\n\"BinName\"=\"/x\"\n",
         "SOFTWARE\\Vantel\\",
         {},
         {},
         {"BinName"}},
        // Malformed lines are skipped; "[unclosed section" ends K's values.
        {"[HKEY_CURRENT_USER\\K]\n\"Unterminated\"=\"abc\n\"BadEscape\"=\"a\\nb\"\n"
         "\"Trailing\"=\"a\" x\n\"NineDigits\"=dword:000000001\n\"NotHex\"=dword:0000zz00\n"
         "\"NoDigits\"=dword:\n\"Binary\"=hex:01,02,\\\n  03,04\nNoQuotes=\"x\"\n"
         "\"NoEquals\" \"x\"\n; a comment\n[unclosed section\n\"Good\"=\"still in K\"\n"
         "[-HKEY_CURRENT_USER\\Deleted]\n\"InDeleted\"=\"x\"\n[HKEY_CLASSES_ROOT\\K]\n"
         "\"Other\"=\"x\"\n",
         "K",
         {},
         {},
         {"Unterminated", "BadEscape", "Trailing", "NineDigits", "NotHex", "NoDigits", "Binary",
          "NoQuotes", "NoEquals", "Good", "InDeleted", "Other"}},
        // Later lines override and delete values.
        {"[HKEY_CURRENT_USER\\K]\n\"A\"=\"first\"\n\"B\"=\"b\"\n"
         "[HKEY_CURRENT_USER\\K]\n\"A\"=\"second\"\n\"B\"=-\n",
         "K",
         {{"A", "second"}},
         {},
         {"B"}},
        // 520 bytes hold 259 UTF-16 units and the terminator.
        {"[HKEY_CURRENT_USER\\K]\n\"Fits\"=\"" + fits + "\"\n\"Long\"=\"" + too_long +
             "\"\n\"Wide\"=\"" + wide + "\"\n",
         "K",
         {{"Fits", fits, 520},
          {"Long", "<unread>", 520},
          {"Wide", "<unread>", 520},
          {"Wide", wide, 522}},
         {},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.records.substr(0, 60));
        write_user(c.records);
        RegistryKey key = RegistryKey::open(RegistryRoot::current_user, c.key);
        ASSERT_TRUE(key.is_open());
        std::uint32_t number = 7;
        for (const Text& t : c.texts) {
            EXPECT_EQ(text_of(key, t.name, t.limit), t.text) << t.name;
            EXPECT_FALSE(key.read_number(t.name, number)) << t.name;
        }
        for (const char* name : c.refused) {
            EXPECT_EQ(text_of(key, name), "<unread>") << name;
            EXPECT_FALSE(key.read_number(name, number)) << name;
        }
        EXPECT_EQ(number, 7u);
        for (const auto& [name, expected] : c.numbers) {
            EXPECT_TRUE(key.read_number(name, number)) << name;
            EXPECT_EQ(number, expected) << name;
            EXPECT_EQ(text_of(key, name), "<unread>") << name;
        }
    }
}

TEST_F(RegistryRecordsTest, EachRootReadsItsOwnRecords) {
    write_user("[HKEY_CURRENT_USER\\K]\n\"V\"=\"user\"\n"
               "[HKEY_LOCAL_MACHINE\\K\\B]\n\"V\"=\"machine in user records\"\n");
    write_machine("[HKEY_LOCAL_MACHINE\\K]\n\"V\"=\"machine\"\n");
    EXPECT_EQ(text_of(RegistryKey::open(RegistryRoot::current_user, "K"), "V"), "user");
    EXPECT_EQ(text_of(RegistryKey::open(RegistryRoot::local_machine, "K"), "V"), "machine");
    EXPECT_FALSE(RegistryKey::open(RegistryRoot::current_user, "K\\B").is_open());
    EXPECT_FALSE(RegistryKey::open(RegistryRoot::local_machine, "K\\B").is_open());
    EXPECT_STREQ(vtl::platform::registry_root_name(RegistryRoot::current_user),
                 "HKEY_CURRENT_USER");
    EXPECT_STREQ(vtl::platform::registry_root_name(RegistryRoot::local_machine),
                 "HKEY_LOCAL_MACHINE");
}

TEST_F(RegistryRecordsTest, ListsTheNamesOfTheKeysDirectlyBelowAKey) {
    write_user("[HKEY_CURRENT_USER\\K\\Vantel\\Photara 8]\n"
               "[HKEY_CURRENT_USER\\k\\vantel\\PHOTARA 8\\Deep\\Deeper]\n"
               "[HKEY_CURRENT_USER\\K\\Vantel\\Implied\\Below]\n"
               "[HKEY_CURRENT_USER\\K\\Vantel\\Photara 9]\n"
               "[HKEY_CURRENT_USER\\K\\Vantelx\\Other]\n"
               "[HKEY_LOCAL_MACHINE\\K\\Vantel\\Machine]\n"
               "[-HKEY_CURRENT_USER\\K\\Vantel\\Deleted]\n"
               "[unclosed\n");
    using Names = std::vector<std::string>;
    struct Case {
        const char* path;
        bool open;
        Names names;
    };
    const Case cases[] = {
        {"K\\Vantel", true, {"Implied", "Photara 8", "Photara 9"}},
        {"k\\VANTEL", true, {"Implied", "Photara 8", "Photara 9"}},
        {"K\\Vantel\\Photara 8", true, {"Deep"}},
        {"K\\Vantel\\Implied", true, {"Below"}},
        {"K\\Vantel\\Photara 9", true, {}},
        {"K", true, {"Vantel", "Vantelx"}},
        {"K\\Vant", false, {}},
        {"K\\Vantel\\Deleted", false, {}},
    };
    vtl::platform::RegistryStore store =
        vtl::platform::RegistryStore::load(RegistryRoot::current_user);
    for (const Case& c : cases) {
        RegistryKey key = store.open(c.path);
        EXPECT_EQ(key.is_open(), c.open) << c.path;
        Names names = key.subkey_names();
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, c.names) << c.path;
    }
    EXPECT_EQ(vtl::platform::RegistryStore::load(RegistryRoot::local_machine)
                  .open("K\\Vantel")
                  .subkey_names(),
              Names());
    EXPECT_EQ(RegistryKey().subkey_names(), Names());
}

} // namespace
