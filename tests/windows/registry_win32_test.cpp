// The installation records on Windows: the registry store reads the system's registry (the test
// program's private Wine prefix). What only the registry has: value types, texts stored without
// a terminator, UTF-8 names; the records common to both, and the listing of keys, are read in
// registry_values_test.cpp.
#include "platform/registry.h"

#include "support/registry_files.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using vtl::platform::RegistryKey;
using vtl::platform::RegistryRoot;

using test_support::text_of;

namespace {

// A key of its own under the current user, removed with everything below it when the test ends.
class RegistryWin32Test : public ::testing::Test {
protected:
    void SetUp() override {
        base_ = "SOFTWARE\\SceneApiTest\\" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name());
        RegDeleteTreeW(HKEY_CURRENT_USER, vtl::platform::utf8_to_wide(base_).c_str());
    }
    void TearDown() override {
        for (HKEY key : keys_)
            RegCloseKey(key);
        keys_.clear();
        // Only the test's own key: tests of other programs may run beside it.
        RegDeleteTreeW(HKEY_CURRENT_USER, vtl::platform::utf8_to_wide(base_).c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, vtl::platform::utf8_to_wide(base_).c_str());
    }

    // Creates the key below the test's own key ("" is the test's key) and returns it, open.
    HKEY create(const std::string& below = "") {
        std::string path = below.empty() ? base_ : base_ + "\\" + below;
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, vtl::platform::utf8_to_wide(path).c_str(), 0,
                                  nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS)
            << path;
        keys_.push_back(key);
        return key;
    }
    static void set_text(HKEY key, const std::string& name, const std::string& text,
                         DWORD type = REG_SZ) {
        std::wstring value = vtl::platform::utf8_to_wide(text);
        ASSERT_EQ(RegSetValueExW(key, vtl::platform::utf8_to_wide(name).c_str(), 0, type,
                                 reinterpret_cast<const BYTE*>(value.c_str()),
                                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }
    static void set_raw(HKEY key, const std::string& name, DWORD type, const void* data,
                        DWORD bytes) {
        ASSERT_EQ(RegSetValueExW(key, vtl::platform::utf8_to_wide(name).c_str(), 0, type,
                                 static_cast<const BYTE*>(data), bytes),
                  ERROR_SUCCESS);
    }
    static void set_number(HKEY key, const std::string& name, DWORD value) {
        set_raw(key, name, REG_DWORD, &value, sizeof value);
    }
    RegistryKey open(const std::string& below = "") const {
        return RegistryKey::open(RegistryRoot::current_user,
                                 below.empty() ? base_ : base_ + "\\" + below);
    }
    std::string base_;
    std::vector<HKEY> keys_;
};

TEST_F(RegistryWin32Test, ValuesAreReadOnlyAsTheirOwnTypeAndAsStored) {
    HKEY key = create();
    set_text(key, "Text", "9000");
    set_text(key, "Expandable", "%SystemRoot%\\x", REG_EXPAND_SZ);
    set_number(key, "Number", 1);
    const DWORD four = 9000;
    set_raw(key, "Binary", REG_BINARY, &four, sizeof four); // four bytes, but not a number
    set_raw(key, "BigEndian", REG_DWORD_BIG_ENDIAN, &four, sizeof four);
    const unsigned long long wide_number = 9000;
    set_raw(key, "Qword", REG_QWORD, &wide_number, sizeof wide_number);
    set_text(key, "Multi", "a", REG_MULTI_SZ);
    const wchar_t raw_text[] = L"text";
    set_raw(key, "BinaryText", REG_BINARY, raw_text, sizeof raw_text); // text bytes, not text
    RegistryKey opened = open();
    std::uint32_t number = 5;
    for (const char* name :
         {"Text", "Expandable", "Binary", "BigEndian", "Qword", "Multi", "BinaryText"})
        EXPECT_FALSE(opened.read_number(name, number)) << name;
    EXPECT_EQ(number, 5u);
    for (const char* name : {"Number", "Binary", "Qword", "Multi", "BinaryText"})
        EXPECT_EQ(text_of(opened, name), "<unread>") << name;
    EXPECT_EQ(text_of(opened, "Text"), "9000");
    EXPECT_EQ(text_of(opened, "Expandable"), "%SystemRoot%\\x"); // not expanded
}

TEST_F(RegistryWin32Test, TextWithoutStoredTerminatorIsReadWhole) {
    const wchar_t unterminated[] = {L'a', L'b', L'c'};
    set_raw(create(), "Raw", REG_SZ, unterminated, sizeof unterminated);
    EXPECT_EQ(text_of(open(), "Raw"), "abc");
    EXPECT_EQ(text_of(open(), "Raw", 8), "abc");      // 3 units and the terminator
    EXPECT_EQ(text_of(open(), "Raw", 6), "<unread>"); // no room for the terminator
}

TEST_F(RegistryWin32Test, NamesAndTextsAreUtf8) {
    set_text(create("Caf\xC3\xA9 \xE5\xA0\xB4"), "N\xC3\xA4me",
             "r\xC3\xA9sum\xC3\xA9 \xF0\x9F\x98\x80");
    RegistryKey key = open("Caf\xC3\xA9 \xE5\xA0\xB4");
    ASSERT_TRUE(key.is_open());
    EXPECT_EQ(text_of(key, "N\xC3\xA4me"), "r\xC3\xA9sum\xC3\xA9 \xF0\x9F\x98\x80");
    EXPECT_EQ(open().subkey_names(), std::vector<std::string>{"Caf\xC3\xA9 \xE5\xA0\xB4"});
    EXPECT_FALSE(open("\xFF\xFE").is_open()); // not UTF-8
}

TEST_F(RegistryWin32Test, AStoreReadsTheRegistryItself) {
    set_text(create(), "V", "first");
    vtl::platform::RegistryStore store =
        vtl::platform::RegistryStore::load(RegistryRoot::current_user);
    EXPECT_EQ(text_of(store.open(base_), "V"), "first");
    EXPECT_EQ(store.root(), RegistryRoot::current_user);
    EXPECT_EQ(store.location(), "");
    EXPECT_EQ(store.state(), vtl::platform::RegistryStore::State::read);
    EXPECT_EQ(vtl::platform::RegistryStore::load(RegistryRoot::local_machine).root(),
              RegistryRoot::local_machine);
}

TEST_F(RegistryWin32Test, AClosedKeyStaysClosed) {
    set_text(create(), "V", "x");
    RegistryKey key = open();
    ASSERT_TRUE(key.is_open());
    RegistryKey moved = std::move(key);
    EXPECT_TRUE(moved.is_open());
    moved.close();
    EXPECT_FALSE(moved.is_open());
    EXPECT_EQ(text_of(moved, "V"), "<unread>");
    std::uint32_t number = 7;
    EXPECT_FALSE(moved.read_number("V", number));
}

} // namespace
