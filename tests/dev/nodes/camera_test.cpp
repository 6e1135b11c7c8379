#include "dev/nodes/light_camera.h"

#include "oo/recording_api.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using Calls = std::vector<std::string>;

// The environment every camera carries, as the first anonymous shader of the record.
const Calls kEnvironment = {
    "begin_shader null \"vtl_envmap\"",
    "set_parameter \"texture\" 10 \"startup.hdr\"",
    "set_parameter \"format\" 6 3",
    "set_parameter \"radius\" 3 25",
    "get_shader -> shader#1",
    "end_shader",
    "set_parameter \"reflection map\" 0x10000 shader#1",
};

class RecordingNode : public vtl::LightNode {
public:
    void emit(vtl::vtlSceneapi_oo& oo) override { oo.print("attached node"); }
    void define(vtl::vtlSceneapi_oo&) override {}
    bool is_instance() const override { return false; }
};

TEST(LightCamera, ADefaultCameraIsPerspectiveWithFov60AndItsEnvironment) {
    vtl_test::RecordedFront f;
    vtl::LightCamera camera("camera");
    f.oo.add(camera);
    Calls expected = {"begin_camera \"camera\"", "set_parameter \"projection\" 10 \"perspective\"",
                      "set_parameter \"fov\" 3 60"};
    expected.insert(expected.end(), kEnvironment.begin(), kEnvironment.end());
    expected.insert(expected.end(),
                    {"set_parameter \"position\" 5 0 0 0", "set_parameter \"direction\" 5 0 0 -1",
                     "set_parameter \"up\" 5 0 1 0", "end_camera"});
    EXPECT_EQ(f.api.calls, expected);
}

TEST(LightCamera, OrthographicWritesNoFieldOfViewAndOtherProjectionsArePerspective) {
    vtl_test::RecordedFront f;
    vtl::LightCamera camera("c");
    camera.set_fov4(1, 2, 3, 4);
    camera.set_projection(1);
    camera.emit(f.oo);
    EXPECT_EQ(f.api.calls[1], "set_parameter \"projection\" 10 \"orthographic\"");
    EXPECT_EQ(f.api.calls[2], kEnvironment[0]);

    f.api.calls.clear();
    camera.set_projection(2);
    camera.emit(f.oo);
    EXPECT_EQ(f.api.calls[1], "set_parameter \"projection\" 10 \"perspective\"");
    EXPECT_EQ(f.api.calls[2], "set_parameter \"fov4\" 15 1 2 3 4");
}

TEST(LightCamera, Fov4ReplacesFovUntilTheNextSetFov) {
    vtl_test::RecordedFront f;
    vtl::LightCamera camera("c");
    camera.set_fov4(0.5f, -0.5f, 0.25f, -0.25f);
    camera.emit(f.oo);
    EXPECT_EQ(f.api.calls[2], "set_parameter \"fov4\" 15 0.5 -0.5 0.25 -0.25");
    EXPECT_TRUE(f.api.starting_with("set_parameter \"fov\" ").empty());

    f.api.calls.clear();
    camera.set_fov(45);
    camera.emit(f.oo);
    EXPECT_EQ(f.api.calls[2], "set_parameter \"fov\" 3 45");
    EXPECT_TRUE(f.api.starting_with("set_parameter \"fov4\"").empty());
}

TEST(LightCamera, ClippingIsWrittenOnlyForAPositiveIncreasingRange) {
    struct Case {
        float near_value, far_value;
        bool written;
    };
    for (const Case& c : {Case{0.1f, 100, true}, Case{0, 100, false}, Case{-1, -1, false},
                          Case{10, 5, false}, Case{5, 5, false}, Case{1, 0, false}}) {
        vtl_test::RecordedFront f;
        vtl::LightCamera camera("c");
        camera.set_clipping(c.near_value, c.far_value);
        camera.emit(f.oo);
        const Calls clipping = f.api.starting_with("set_parameter \"clipping\"");
        if (c.written) {
            EXPECT_EQ(clipping, (Calls{"set_parameter \"clipping\" 14 0.100000001 100"}));
            // After "up", before the end of the block.
            EXPECT_EQ(f.api.calls[f.api.calls.size() - 2], clipping.front());
        } else {
            EXPECT_TRUE(clipping.empty()) << c.near_value << " " << c.far_value;
        }
    }
}

TEST(LightCamera, LookAtOnlyAfterSetLookAtEvenWithTheInitialValue) {
    vtl_test::RecordedFront f;
    vtl::LightCamera camera("c");
    camera.set_position(1, 2, 3);
    camera.set_direction(0, -1, 0);
    camera.set_up(0, 0, 1);
    camera.set_look_at(0, 0, -1);
    camera.emit(f.oo);
    const Calls vectors = f.api.starting_with("set_parameter \"");
    EXPECT_EQ(Calls(vectors.end() - 4, vectors.end()),
              (Calls{"set_parameter \"position\" 5 1 2 3", "set_parameter \"direction\" 5 0 -1 0",
                     "set_parameter \"look_at\" 5 0 0 -1", "set_parameter \"up\" 5 0 0 1"}));
}

TEST(LightCamera, AFixedTransformMultipliesAndAnAttachedNodeTakesItsPlace) {
    vtlMatrix m{};
    for (int i = 0; i < 4; ++i)
        m.m[i][i] = 3;
    {
        vtl_test::RecordedFront f;
        vtl::LightCamera camera("c");
        camera.set_camera_transform(m);
        EXPECT_TRUE(camera.get_has_transform());
        camera.emit(f.oo);
        EXPECT_EQ(f.api.calls[f.api.calls.size() - 2], "transform 3 0 0 0 0 3 0 0 0 0 3 0 0 0 0 3");
    }
    {
        vtl_test::RecordedFront f;
        vtl::LightCamera camera("c");
        camera.set_camera_transform(m);
        camera.set_animation(std::make_shared<RecordingNode>());
        camera.emit(f.oo);
        EXPECT_EQ(f.api.calls[f.api.calls.size() - 2], "print \"attached node\"");
        EXPECT_TRUE(f.api.starting_with("transform").empty());
    }
}

TEST(LightCamera, EveryEmissionCarriesItsOwnEnvironment) {
    vtl_test::RecordedFront f;
    vtl::LightCamera camera("c");
    camera.emit(f.oo);
    camera.emit(f.oo);
    EXPECT_EQ(f.api.starting_with("set_parameter \"reflection map\""),
              (Calls{"set_parameter \"reflection map\" 0x10000 shader#1",
                     "set_parameter \"reflection map\" 0x10000 shader#2"}));
}

} // namespace
