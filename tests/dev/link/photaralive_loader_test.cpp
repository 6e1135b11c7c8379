#include "dev/link/photaralive_loader.h"

#include "file_api/vtlscene_api.h"
#include "live_fixture.h"

#include <filesystem>
#include <functional>
#include <regex>

using test_support::FakeLiveState;
using test_support::LiveFixture;
using test_support::read_file;

namespace {

using Calls = std::vector<std::string>;

class LoaderTest : public LiveFixture {};

TEST_F(LoaderTest, VersionsBeforeSixUseTheOldBaseName) {
    install(5);
    place_fake("vtlphotaralive6_64.so");
    EXPECT_EQ(vtl_get_query_api(5, 20), nullptr);
    FakeLiveState& state = place_fake("vtlphotaralive64.so");
    EXPECT_NE(vtl_get_query_api(5, 20), nullptr);
    EXPECT_EQ(state.calls, Calls({"initialize"}));
}

TEST_F(LoaderTest, TheLoaderIsReusedUntilUnloaded) {
    install(8);
    FakeLiveState& state = place_fake();
    vtlScene_api* api = vtl_get_scene_api(7, 20);
    ASSERT_NE(api, nullptr);
    vtl::PhotaraQueryApi* query = vtl_get_query_api(7, 20);
    ASSERT_NE(query, nullptr);
    // A range without any installation still reaches the loaded library.
    EXPECT_EQ(vtl_get_scene_api(30, 40), api);
    EXPECT_EQ(vtl_get_query_api(30, 40), query);
    EXPECT_EQ(state.calls, Calls({"initialize"}));
    vtl_unload_live_library();
    EXPECT_NE(vtl_get_scene_api(7, 20), nullptr);
    EXPECT_EQ(state.calls, Calls({"initialize", "destroyed", "initialize"}));
}

TEST_F(LoaderTest, AnUnusableLibraryIsFreedAndTheNextCallStartsAgain) {
    install(8);
    std::string library = place_library(NO_ENTRY_LIBRARY, "vtlphotaralive6_64.so");
    EXPECT_EQ(vtl_get_scene_api(7, 20), nullptr);
    EXPECT_EQ(vtl_get_query_api(7, 20), nullptr);
    EXPECT_FALSE(loaded(library));

    library = place_library(NULL_ROOT_LIBRARY, "vtlphotaralive6_64.so");
    EXPECT_EQ(vtl_get_query_api(7, 20), nullptr);
    EXPECT_FALSE(loaded(library));

    FakeLiveState& state = place_fake();
    EXPECT_NE(vtl_get_query_api(7, 20), nullptr);
    EXPECT_EQ(state.calls, Calls({"initialize"}));
}

TEST_F(LoaderTest, TheLoaderLogsItsStepsInTheResourceFolder) {
    install(8);
    EXPECT_EQ(vtl_get_query_api(7, 20), nullptr);
    place_library(NULL_ROOT_LIBRARY, "vtlphotaralive6_64.so");
    EXPECT_EQ(vtl_get_query_api(7, 20), nullptr);
    const std::string log = read_file(resource_folder() + "/sceneapi.log");
    const std::string time = R"( - \d\d:\d\d:\d\d\.\d{3} )";
    const std::string any_pointer = "[0-9A-F]{16}";
    const std::string query_line =
        "photaralive_loader.cpp:282" + time +
        "DEBUG4:  vtl_get_query_api -> photara_live_loader: " + "0000000000000000\n";
    const std::string folder_line =
        "photaralive_loader.cpp:153" + time + "DEBUG4:  " +
        std::regex_replace(bin_folder(), std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)") + "\n";
    const std::regex expected(
        query_line + folder_line + "photaralive_loader.cpp:218" + time +
        "DEBUG4:  initialize shared handle: 0000000000000000\n" + "photaralive_loader.cpp:234" +
        time + "WARNING:  NO shared handle\n" + query_line + folder_line +
        "photaralive_loader.cpp:218" + time + "DEBUG4:  initialize shared handle: " + any_pointer +
        "\nphotaralive_loader.cpp:245" + time + "DEBUG4:  Photara live: 0000000000000000\n");
    EXPECT_TRUE(std::regex_match(log, expected)) << log;
}

TEST_F(LoaderTest, AnUnwritableLogFolderIsReportedAndTheLibraryIsLoadedAllTheSame) {
    install(8);
    folder.write("plain-file", "x");
    write_user("[HKEY_CURRENT_USER\\SOFTWARE\\Vantel\\Photara 8]\n\"BinName\"=\"" + executable() +
               "\"\n\"BinFolder\"=\"" + bin_folder() + "\"\n\"ResourceFolder\"=\"" +
               folder.file("plain-file/resources") + "\"\n"); // a folder nobody can make
    FakeLiveState& state = place_fake();
    testing::internal::CaptureStderr();
    EXPECT_NE(vtl_get_query_api(7, 20), nullptr);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("could not open log file:"), std::string::npos) << err;
    EXPECT_EQ(state.calls, Calls({"initialize"}));
}

TEST_F(LoaderTest, TheFolderLineHoldsEachUtf16UnitOfTheFolderNarrowedToItsLowByte) {
    struct Case {
        std::string folder;
        std::string logged;
    };
    const Case cases[] = {
        {"/opt/caf\xC3\xA9", "/opt/caf\xE9"},               // U+00E9
        {"/opt/\xE2\x82\xAC 8", "/opt/\xAC 8"},             // U+20AC
        {"/opt/\xF0\x9F\x99\x82/bin", "/opt/\x3D\x42/bin"}, // U+1F642: D83D DE42
        {"/opt/\xD0\x96", "/opt/\x16"},                     // U+0416: a lead byte above 0xCF
        {"/opt/\xFF", "/opt/\xFD"},                         // not UTF-8: U+FFFD
    };
    install(8);
    const std::string prefix = "photaralive_loader.cpp:153";
    const std::string marker = "DEBUG4:  ";
    for (const Case& c : cases) {
        write_user("[HKEY_CURRENT_USER\\SOFTWARE\\Vantel\\Photara 8]\n\"BinName\"=\"" +
                   executable() + "\"\n\"BinFolder\"=\"" + c.folder + "\"\n\"ResourceFolder\"=\"" +
                   resource_folder() + "\"\n");
        const std::string log_path = resource_folder() + "/sceneapi.log";
        vtl::Output2FILE::reset();
        std::filesystem::remove(log_path);
        EXPECT_EQ(vtl_get_scene_api(7, 20), nullptr);
        vtl::Output2FILE::reset();
        const std::string log = read_file(log_path);
        const std::size_t line = log.find(prefix);
        ASSERT_NE(line, std::string::npos) << log;
        const std::size_t start = log.find(marker, line) + marker.size();
        EXPECT_EQ(log.substr(start, log.find('\n', start) - start), c.logged) << c.folder;
    }
}

TEST_F(LoaderTest, TheSearchDescriptionTellsWhereInstallationsAndLibrariesWereLookedFor) {
    const std::string user = "HKEY_CURRENT_USER records \"" + folder.file("user.reg") + "\" (";
    const std::string machine =
        "; HKEY_LOCAL_MACHINE records \"" + folder.file("machine.reg") + "\" (";
    const std::string bin = bin_folder() + "/vtlphotaralive6_";
    const std::string chosen = "; installation 8 of HKEY_CURRENT_USER chosen for versions 7..20, "
                               "BinFolder \"" +
                               bin_folder() + "\"; Live library of versions 7..20: \"" + bin +
                               "32.so\" missing, \"" + bin + "64.so\" ";
    const std::string in_folder = bin + "64.so";
    struct Case {
        const char* situation;
        std::function<void()> arrange;
        std::string expected;
    };
    const Case cases[] = {
        {"no records",
         [&] {
             std::filesystem::remove(folder.file("user.reg"));
             std::filesystem::remove(folder.file("machine.reg"));
         },
         "searched: " + user + "missing)" + machine +
             "missing); no installation of versions 7..20; Live library not looked for"},
        {"executables missing",
         [&] {
             install(8);
             write_user("[HKEY_CURRENT_USER\\SOFTWARE\\Vantel\\Photara 9]\n\"BinName\"=\"" +
                        folder.file("gone") +
                        "\"\n[HKEY_CURRENT_USER\\SOFTWARE\\Vantel\\Photara 8]\n"
                        "[HKEY_CURRENT_USER\\SOFTWARE\\Vantel\\Photara 21]\n\"BinName\"=\"" +
                        executable() + "\"\n");
             std::filesystem::remove(folder.file("machine.reg"));
         },
         "searched: " + user + "read, 3 version keys: Photara 21 counted (out of range), " +
             "Photara 9 BinName \"" + folder.file("gone") +
             "\" not readable, Photara 8 no BinName)" + machine +
             "missing); no installation of versions 7..20; Live library not looked for"},
        {"no library in the program folder", [&] { install(8); },
         "searched: " + user + "read, 1 version key: Photara 8 counted)" + machine +
             "read, 0 version keys)" + chosen +
             "missing, \"./vtlphotaralive6_32.so\" missing, \"./vtlphotaralive6_64.so\" "
             "missing, none loaded"},
        {"a library without entry point",
         [&] {
             install(8);
             place_library(NO_ENTRY_LIBRARY, "vtlphotaralive6_64.so");
         },
         "searched: " + user + "read, 1 version key: Photara 8 counted)" + machine +
             "read, 0 version keys)" + chosen +
             "loaded, no entry point \"photara_live_initialize\""},
        {"a file that is no library",
         [&] {
             install(8);
             folder.write("bin/vtlphotaralive6_64.so", "not a library");
         },
         "searched: " + user + "read, 1 version key: Photara 8 counted)" + machine +
             "read, 0 version keys)" + chosen +
             "not loadable, \"./vtlphotaralive6_32.so\" missing, \"./vtlphotaralive6_64.so\" "
             "missing, none loaded"},
        {"a usable library",
         [&] {
             install(8);
             place_fake();
         },
         "searched: " + user + "read, 1 version key: Photara 8 counted)" + machine +
             "read, 0 version keys)" + chosen + "loaded, in use"},
    };
    for (const Case& c : cases) {
        c.arrange();
        vtlScene_api* api = vtl_get_scene_api(7, 20);
        EXPECT_EQ(vtl::describe_live_search(7, 20), c.expected) << c.situation;
        // Nothing changed: the same library, or still none.
        EXPECT_EQ(vtl_get_scene_api(7, 20), api) << c.situation;
        vtl_unload_live_library();
        std::filesystem::remove(in_folder);
    }
}

} // namespace
