#include "dev/nodes/animation.h"

#include "oo/recording_api.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Calls = std::vector<std::string>;

vtlMatrix scaled_identity(double s) {
    vtlMatrix m{};
    for (int i = 0; i < 4; ++i)
        m.m[i][i] = s;
    return m;
}

const std::string kIdentity2 = "2 0 0 0 0 2 0 0 0 0 2 0 0 0 0 2";

TEST(FBXAnimation, KeyframesAreWrittenAsParallelArraysInsideTheAnimationBlock) {
    vtl_test::RecordedFront f;
    vtl::FBXAnimation animation("spin", 0.5f, 10.0f, true);
    animation.set_folder("takes");
    animation.add_frame(0, scaled_identity(2));
    animation.add_frame(5, scaled_identity(2));
    animation.add_frame(10, scaled_identity(2));
    f.oo.add(animation);
    EXPECT_EQ(f.api.calls, (Calls{
                               "begin_animation \"fbx_animation\" \"spin\"",
                               "set_parameter \"start_time\" 3 0.5",
                               "set_parameter \"duration\" 3 10",
                               "set_parameter \"timestamps\" 0x8006 [3] 0 5 10",
                               "set_parameter \"matrices\" 0x8009 [3] " + kIdentity2 + " " +
                                   kIdentity2 + " " + kIdentity2,
                               "set_parameter \"interpolate\" 7 1",
                               "set_parameter \"folder\" 10 \"takes\"",
                               "end_animation",
                           }));
}

TEST(FBXAnimation, MismatchedCountsAreReportedAfterDurationAndBothArraysStillSent) {
    vtl_test::RecordedFront f;
    vtl::FBXAnimation animation("a", 0, 1, false);
    animation.add_timestamp(1);
    animation.add_timestamp(2);
    animation.add_matrix(scaled_identity(2));
    animation.emit(f.oo);
    EXPECT_EQ(f.api.calls, (Calls{
                               "begin_animation \"fbx_animation\" \"a\"",
                               "set_parameter \"start_time\" 3 0",
                               "set_parameter \"duration\" 3 1",
                               "error \"Number of timestamps(2) does not match number of "
                               "matrices(1)\"",
                               "set_parameter \"timestamps\" 0x8006 [2] 1 2",
                               "set_parameter \"matrices\" 0x8009 [1] " + kIdentity2,
                               "set_parameter \"interpolate\" 7 0",
                               "set_parameter \"folder\" 10 \"\"",
                               "end_animation",
                           }));
}

TEST(FBXAnimation, WriteReturnsWhatTheBackEndSaidAtTheEnd) {
    vtl_test::RecordedFront f;
    vtl::FBXAnimation animation("a", 0, 1, false);
    EXPECT_TRUE(animation.write(f.oo));
    f.api.accept = false;
    EXPECT_FALSE(animation.write(f.oo));
    EXPECT_FALSE(animation.is_instance());
    f.api.calls.clear();
    animation.define(f.oo);
    EXPECT_TRUE(f.api.calls.empty());
}

} // namespace
