#include "dev/link/instance_choice.h"

#include "dev/link/photara_live.h"
#include "fuzz/libfuzzer/guarded_text.h"
#include "platform/bounded_child.h"

#include <climits>
#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <memory>

using vtl::InstanceRecord;

namespace {

constexpr const char* kEmptyScene = "<photara_scene><scene><link/></scene></photara_scene>";
constexpr const char* kBusyScene =
    "<photara_scene><scene><link><group name=\"chair\"/></link></scene></photara_scene>";

// Scenes by process id; an absent process cannot be attached, "" has no scene text. The scene
// text handed out ends just before an inaccessible page.
class TestQuery : public vtl::PhotaraQueryApi {
public:
    explicit TestQuery(std::map<std::int64_t, std::string> scenes) : scenes_(std::move(scenes)) {}
    const char* get_instances_xml() override { return nullptr; }
    bool attach_instance(std::int64_t process_id) override {
        log += "a" + std::to_string(process_id) + " ";
        auto found = scenes_.find(process_id);
        attached_ = found == scenes_.end() ? nullptr : &found->second;
        if (attached_) text_ = std::make_unique<fuzz::GuardedText>(*attached_);
        return attached_ != nullptr;
    }
    void reserved_3() override {}
    bool detach_instance() override {
        log += "d ";
        return true;
    }
    void reserved_5() override {}
    void reserved_6() override {}
    const char* get_scene_xml() override {
        return attached_ && !attached_->empty() ? text_->c_str() : nullptr;
    }

    std::string log;

private:
    std::map<std::int64_t, std::string> scenes_;
    const std::string* attached_ = nullptr;
    std::unique_ptr<fuzz::GuardedText> text_;
};

InstanceRecord record(int version, std::int64_t process_id, int port = 0) {
    InstanceRecord result;
    result.version_major = version;
    result.process_id = process_id;
    result.live_link_port = port;
    return result;
}

// Returns the chosen process id (0: none) and whether the selector was found.
std::pair<std::int64_t, bool> choose(TestQuery& query, const std::vector<InstanceRecord>& records,
                                     const std::string& selector = "", bool accept_any = false) {
    vtl::InstanceChoice choice = vtl::choose_instance(query, records, selector, accept_any);
    return {choice.record.process_id, choice.found_selector};
}

using Chosen = std::pair<std::int64_t, bool>;

// `texts` and the documents no parser can read whole: garbage, `tag` nested beyond any stack,
// and texts cut inside a UTF-8 sequence in every place a parser may be reading.
std::vector<std::string> with_unreadable(std::vector<std::string> texts, const std::string& tag) {
    texts.push_back("\x01\xff<<<&&&>>> not a document");
    std::string nested;
    for (int i = 0; i < 200000; ++i)
        nested += "<" + tag + ">";
    texts.push_back(nested);
    for (const char* place :
         {"<r><a>", "<r>", "<r><a x=\"", "<r><a x='", "<r><!--", "<r><![CDATA[", "<r><", "<r></",
          "<r><a ", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><r><a>", "\xEF\xBB\xBF<r><a>",
          "<?xml version=\"1.0\" encoding=\"UTF-8\"?><r><a x=\"", "<", "<!DOCTYPE ", ""})
        for (const char* cut : {"\xC3", "\xE2", "\xE2\x82", "\xF0", "\xF0\x9F\x98"})
            texts.push_back(std::string(place) + cut);
    return texts;
}

TEST(ReadInstances, ElementsAreFoundAtAnyDepthInAnyOrderWithinTheRange) {
    const char* document = "<photara_instances>"
                           "<photara_instance><process_id>4711</process_id>"
                           "<version_major>8</version_major><livelink_port>9001</livelink_port>"
                           "</photara_instance>"
                           "<other><version_major>6</version_major><process_id>6</process_id>"
                           "<livelink_port>0</livelink_port></other>"
                           "<x><info><version_major>12</version_major><process_id>99</process_id>"
                           "</info><net><livelink_port>-1</livelink_port></net></x>"
                           // Each lacks one number, or its text: skipped.
                           "<i><process_id>5</process_id><livelink_port>1</livelink_port></i>"
                           "<i><version_major>9</version_major><livelink_port>1</livelink_port></i>"
                           "<i><version_major>9</version_major><process_id>7</process_id></i>"
                           "<i><version_major>9</version_major><process_id/>"
                           "<livelink_port>1</livelink_port></i>"
                           "<i><version_major>21</version_major><process_id>8</process_id>"
                           "<livelink_port>1</livelink_port></i>"
                           "</photara_instances>";
    std::vector<InstanceRecord> records = vtl::read_instances(document, 7, 20);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].version_major, 8);
    EXPECT_EQ(records[0].process_id, 4711);
    EXPECT_EQ(records[0].live_link_port, 9001);
    EXPECT_EQ(records[1].version_major, 12);
    EXPECT_EQ(records[1].process_id, 99);
    EXPECT_EQ(records[1].live_link_port, -1);
    EXPECT_EQ(vtl::read_instances(document, 6, 6).size(), 1u);
    EXPECT_EQ(vtl::read_instances(document, 21, 21).size(), 1u);
    EXPECT_TRUE(vtl::read_instances(nullptr, 7, 20).empty());
    EXPECT_TRUE(vtl::read_instances("not xml", 7, 20).empty());
    // Not well-formed: a truncated document is not read as the instances before the cut.
    const std::string cut(document, std::strlen(document) - std::strlen("</photara_instances>"));
    EXPECT_TRUE(vtl::read_instances(cut.c_str(), 7, 20).empty());
}

TEST(ReadInstances, ANumberOutOfItsRangeMakesTheInstanceInvalid) {
    struct Case {
        const char* version;
        const char* process_id;
        const char* port;
        bool counted;
    };
    const Case cases[] = {
        {"8", "1", "9001", true},
        {"8", "1", "65535", true},
        {"8", "1", "0", true},  // no port
        {"8", "1", "-1", true}, // no port
        {"8", "1", "-2147483648", true},
        {"8", "1", "65536", false},
        {"8", "1", "4294976296", false}, // 2^32 + 9000
        {"8", "1", "-2147483649", false},
        {"8", "1", "port", false},
        {"8", "9223372036854775807", "9001", true},
        {"8", "-9223372036854775808", "9001", true},
        {"8", "9223372036854775808", "9001", false},
        {"8", "pid", "9001", false},
        {"2147483647", "1", "9001", true},
        {"-2147483648", "1", "9001", true},
        {"2147483648", "1", "9001", false},
        {"4294967304", "1", "9001", false}, // 2^32 + 8
        {"-2147483656", "1", "9001", false},
    };
    for (const Case& c : cases) {
        const std::string document =
            std::string("<r><i><version_major>") + c.version + "</version_major><process_id>" +
            c.process_id + "</process_id><livelink_port>" + c.port + "</livelink_port></i></r>";
        std::vector<InstanceRecord> records =
            vtl::read_instances(document.c_str(), INT_MIN, INT_MAX);
        ASSERT_EQ(records.size(), c.counted ? 1u : 0u) << document;
        if (!c.counted) continue;
        EXPECT_EQ(std::to_string(records[0].version_major), c.version) << document;
        EXPECT_EQ(std::to_string(records[0].process_id), c.process_id) << document;
        EXPECT_EQ(std::to_string(records[0].live_link_port), c.port) << document;
    }
}

TEST(ReadInstances, AnUnreadableDocumentGivesNoRecordAndIsReadWithinItsBytes) {
    const std::string element = "<photara_instance><version_major>8</version_major><process_id>"
                                "1</process_id><livelink_port>1</livelink_port>";
    const std::string huge = "<photara_instance><version_major>" + std::string(16u << 20, '9') +
                             "</version_major></photara_instance>";
    for (const std::string& text : with_unreadable({element, huge}, "a")) {
        const std::optional<std::string> answer = test_support::run_bounded([&text] {
            fuzz::GuardedText document(text);
            return std::to_string(vtl::read_instances(document.c_str(), INT_MIN, INT_MAX).size());
        });
        EXPECT_EQ(answer, std::optional<std::string>("0")) << text.substr(0, 60);
    }
}

TEST(ChooseInstance, AnUnreadableSceneCountsAsBusyAndIsReadWithinItsBytes) {
    const std::string cut = "<photara_scene><scene><link number=\"1\"><group name=\"chair\"/></lin";
    const std::string huge = "<photara_scene><scene><link><group name=\"" +
                             std::string(16u << 20, 'c') + "\"/></link></scene></photara_scene>";
    for (const std::string& text : with_unreadable({cut, huge}, "scene name=\"chair\"")) {
        const std::optional<std::string> answer = test_support::run_bounded([&text] {
            TestQuery query({{1, text}});
            const Chosen busy = choose(query, {record(8, 1)}, "chair");
            const Chosen any = choose(query, {record(8, 1)}, "chair", true);
            return std::to_string(busy.first) + (busy.second ? " found" : "") + ", " +
                   std::to_string(any.first) + (any.second ? " found" : "");
        });
        EXPECT_EQ(answer, std::optional<std::string>("0, 1")) << text.substr(0, 60);
    }
}

TEST(ChooseInstance, ABusyInstanceIsChosenOnlyWhenAnyInstanceIsAccepted) {
    TestQuery query({{10, kBusyScene}});
    EXPECT_EQ(choose(query, {record(8, 10)}), Chosen(0, false));
    EXPECT_EQ(query.log, "a10 d ");
    EXPECT_EQ(choose(query, {record(8, 10)}, "", true), Chosen(10, false));
}

TEST(ChooseInstance, TheNewestEmptyInstanceWinsAndOnEqualVersionsTheFirst) {
    TestQuery query({{10, kEmptyScene}, {11, kEmptyScene}, {12, kEmptyScene}});
    EXPECT_EQ(choose(query, {record(8, 10), record(9, 11)}), Chosen(11, false));
    EXPECT_EQ(choose(query, {record(9, 11), record(9, 12)}), Chosen(11, false));
    // Accepting any instance also takes the newest, whether empty or not.
    TestQuery mixed({{10, kEmptyScene}, {11, kBusyScene}});
    EXPECT_EQ(choose(mixed, {record(8, 10), record(9, 11)}, "", true), Chosen(11, false));
    EXPECT_EQ(choose(mixed, {record(8, 10), record(9, 11)}), Chosen(10, false));
}

TEST(ChooseInstance, EmptinessLooksTwoLevelsBelowTheRootsFirstChild) {
    // The root's first child has a child with a child of its own: busy.
    TestQuery query({{1, "<s><a><b><c/></b></a></s>"},
                     {2, "<s><a><b/></a><z><y><x/></y></z></s>"},
                     {3, "<s/>"},
                     {4, "<s><a/></s>"}});
    EXPECT_EQ(choose(query, {record(8, 1)}), Chosen(0, false));
    EXPECT_EQ(choose(query, {record(8, 2)}), Chosen(2, false));
    EXPECT_EQ(choose(query, {record(8, 3)}), Chosen(0, false)); // no child: not empty
    EXPECT_EQ(choose(query, {record(8, 4)}), Chosen(4, false));
}

TEST(ChooseInstance, TheSelectorIsSearchedFourLevelsFromVersionSevenThreeBefore) {
    const char* deep = "<r><a><b><c name=\"chair\"/></b></a></r>";
    const char* shallow = "<r><a><b name=\"chair\"><c/></b></a></r>";
    TestQuery query({{6, deep}, {7, deep}, {8, shallow}, {9, "<r><a name=\"Chair\"/></r>"}});
    EXPECT_EQ(choose(query, {record(6, 6)}, "chair"), Chosen(0, false));
    EXPECT_EQ(choose(query, {record(7, 7)}, "chair"), Chosen(7, true));
    EXPECT_EQ(choose(query, {record(6, 8)}, "chair"), Chosen(8, true));
    EXPECT_EQ(choose(query, {record(9, 9)}, "chair"), Chosen(9, false)); // case matters: empty
    TestQuery root_named({{1, "<r name=\"chair\"/>"}});
    EXPECT_EQ(choose(root_named, {record(8, 1)}, "chair"), Chosen(1, true));
}

TEST(ChooseInstance, AnInstanceHoldingTheSelectorBeatsNewerOnes) {
    TestQuery query({{1, kEmptyScene}, {2, kBusyScene}, {3, kEmptyScene}});
    EXPECT_EQ(choose(query, {record(12, 1), record(8, 2), record(11, 3)}, "chair", true),
              Chosen(2, true));
    EXPECT_EQ(choose(query, {record(12, 1), record(8, 2)}, "table", true), Chosen(1, false));
}

TEST(ChooseInstance, UnattachableInstancesAndMissingScenesAreIgnored) {
    TestQuery query({{2, ""}, {3, kEmptyScene}});
    EXPECT_EQ(choose(query, {record(9, 1), record(9, 2)}, "", true), Chosen(0, false));
    EXPECT_EQ(query.log, "a1 a2 d ");
    EXPECT_EQ(choose(query, {record(9, 1), record(9, 2), record(8, 3)}, "", true),
              Chosen(3, false));
}

} // namespace
