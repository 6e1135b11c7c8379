#include "dev/nodes/nurbs_curve.h"
#include "dev/nodes/simple_nurbs_surface.h"

#include "nurbs_shapes.h"
#include "oo/recording_api.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using Calls = std::vector<std::string>;

// A bilinear patch: order 2 in both directions, four knots each, four control points.
void fill_patch(vtl::SimpleNurbsSurface& surface) {
    surface.set_knot_domain(0, 1, 0, 2);
    surface.set_order(2, 2);
    for (double k : {0.0, 0.0, 1.0, 1.0})
        surface.add_uknot(k);
    for (double k : {0.0, 0.0, 2.0, 2.0})
        surface.add_vknot(k);
    surface.add_control_point(0, 0, 0, 1);
    surface.add_control_point(1, 0, 0, 1);
    surface.add_control_point(0, 1, 0, 1);
    surface.add_control_point(1, 1, 0, 0.5);
}

const Calls kPatchParameters = {
    "set_parameter \"umin\" 4 0",
    "set_parameter \"umax\" 4 1",
    "set_parameter \"vmin\" 4 0",
    "set_parameter \"vmax\" 4 2",
    "set_parameter \"uorder\" 4 2",
    "set_parameter \"vorder\" 4 2",
    "set_parameter \"uknot\" 0x8004 [4] 0 0 1 1",
    "set_parameter \"vknot\" 0x8004 [4] 0 0 2 2",
    "set_parameter \"Pw\" 0x8004 [16] 0 0 0 1 1 0 0 1 0 1 0 1 1 1 0 0.5",
};

const Calls kOneEdgeTrimParameters = {
    "set_parameter \"trim_nedges\" 0x8006 [1] 1",
    "set_parameter \"trim_inside\" 0x8006 [1] 1",
    "set_parameter \"edge_order\" 0x8006 [1] 2",
    "set_parameter \"edge_nknots\" 0x8006 [1] 4",
    "set_parameter \"edge_min\" 0x8004 [1] 0",
    "set_parameter \"edge_max\" 0x8004 [1] 1",
    "set_parameter \"edge_knot\" 0x8004 [4] 0 0 1 1",
    "set_parameter \"edge_uvw\" 0x8004 [6] 0 0 1 1 1 1",
};

Calls geometry_parameters(const vtl_test::RecordingApi& api) {
    Calls found;
    bool inside = false;
    for (const std::string& call : api.calls) {
        if (call.rfind("begin_geometry", 0) == 0)
            inside = true;
        else if (call == "end_geometry")
            inside = false;
        else if (inside)
            found.push_back(call);
    }
    return found;
}

TEST(SimpleNurbsSurface, AnUntrimmedSurfaceIsPlacedWithItsNineParametersAndMaterial) {
    vtl_test::RecordedFront f;
    vtl::SimpleNurbsSurface surface("patch");
    fill_patch(surface);
    surface.emit(f.oo);
    Calls expected = {"begin_object \"patch\" 1", "begin_geometry \"nurbs\""};
    expected.insert(expected.end(), kPatchParameters.begin(), kPatchParameters.end());
    expected.insert(expected.end(), {"end_geometry", "begin_material \"default\" 1"});
    ASSERT_GE(f.api.calls.size(), expected.size());
    EXPECT_EQ(Calls(f.api.calls.begin(), f.api.calls.begin() + expected.size()), expected);
    EXPECT_EQ(f.api.calls.back(), "end_object");
    EXPECT_TRUE(f.api.starting_with("error").empty());
}

TEST(SimpleNurbsSurface, TheTrimArraysFollowPwInTheirSendOrder) {
    vtl_test::RecordedFront f;
    vtl::SimpleNurbsSurface surface("patch");
    fill_patch(surface);
    surface.set_trim(one_edge_trim(1));
    surface.emit(f.oo);
    Calls expected = kPatchParameters;
    expected.insert(expected.end(), kOneEdgeTrimParameters.begin(), kOneEdgeTrimParameters.end());
    EXPECT_EQ(geometry_parameters(f.api), expected);
}

TEST(SimpleNurbsSurface, AnUnsetDomainAndOrderAreSentAsTheirMarkers) {
    vtl_test::RecordedFront f;
    vtl::SimpleNurbsSurface surface("bare");
    surface.emit(f.oo);
    const Calls parameters = geometry_parameters(f.api);
    ASSERT_EQ(parameters.size(), 9u);
    EXPECT_EQ(Calls(parameters.begin(), parameters.begin() + 6),
              (Calls{"set_parameter \"umin\" 4 3.4028234663852886e+38",
                     "set_parameter \"umax\" 4 1.1754943508222875e-38",
                     "set_parameter \"vmin\" 4 3.4028234663852886e+38",
                     "set_parameter \"vmax\" 4 1.1754943508222875e-38",
                     "set_parameter \"uorder\" 4 -1", "set_parameter \"vorder\" 4 -1"}));
}

TEST(SimpleNurbsSurface, DefineEmptiesTheDataButKeepsDomainOrdersAndTheCurve) {
    vtl_test::RecordedFront f;
    vtl::SimpleNurbsSurface surface("patch");
    fill_patch(surface);
    auto trim = one_edge_trim(1);
    surface.set_trim(trim);
    f.oo.new_id();
    surface.define(f.oo);
    EXPECT_EQ(f.api.calls[1], "begin_object \"patch\" 0");
    EXPECT_EQ(f.api.calls[2], "set_id 2");
    EXPECT_TRUE(f.api.starting_with("begin_material").empty()) << f.api.text();
    EXPECT_EQ(f.api.calls.back(), "end_object");
    EXPECT_TRUE(surface.is_instance());
    EXPECT_EQ(surface.get_object_id(), 2u);
    EXPECT_EQ(surface.get_trim(), trim);
    EXPECT_EQ(trim->data_size(), 0u);
    EXPECT_EQ(surface.data_size(), 0u);

    // A further definition refers to the first; the kept domain and orders are not written.
    f.api.calls.clear();
    surface.define(f.oo);
    EXPECT_EQ(geometry_parameters(f.api), (Calls{"set_parameter \"id\" 6 2"}));
}

TEST(SimpleNurbsSurface, ASecondTrimReplacesTheFirst) {
    vtl_test::RecordedFront f;
    vtl::SimpleNurbsSurface surface("patch");
    fill_patch(surface);
    surface.set_trim(one_edge_trim(1));
    auto empty = std::make_shared<vtl::NurbsCurve>();
    surface.set_trim(empty);
    surface.emit(f.oo);
    const Calls parameters = geometry_parameters(f.api);
    EXPECT_EQ(
        Calls(parameters.begin() + 9, parameters.end()),
        (Calls{
            "set_parameter \"trim_nedges\" 0x8006 [0]", "set_parameter \"trim_inside\" 0x8006 [0]",
            "set_parameter \"edge_order\" 0x8006 [0]", "set_parameter \"edge_nknots\" 0x8006 [0]",
            "set_parameter \"edge_min\" 0x8004 [0]", "set_parameter \"edge_max\" 0x8004 [0]",
            "set_parameter \"edge_knot\" 0x8004 [0]", "set_parameter \"edge_uvw\" 0x8004 [0]"}));
}

TEST(SimpleNurbsSurface, DataSizeCountsEightBytesPerValuePlusTheTrim) {
    vtl::SimpleNurbsSurface surface("patch");
    fill_patch(surface);
    EXPECT_EQ(surface.data_size(), 8u * (4 + 4 + 16));
    surface.set_trim(one_edge_trim(1));
    // Trim: 4 ints and 1 + 1 + 4 + 6 doubles.
    EXPECT_EQ(surface.data_size(), 8u * (4 + 4 + 16) + 4u * 4 + 8u * 12);
}

TEST(NurbsCurve, ClearEmptiesEveryArrayAndItIsNeverAnInstance) {
    vtl_test::RecordedFront f;
    auto trim = one_edge_trim(1);
    EXPECT_FALSE(trim->is_instance());
    trim->define(f.oo);
    EXPECT_TRUE(f.api.calls.empty());
    trim->clear();
    EXPECT_EQ(trim->data_size(), 0u);
    trim->emit(f.oo);
    EXPECT_EQ(f.api.calls.size(), 8u);
    for (const std::string& call : f.api.calls) {
        EXPECT_EQ(call.substr(call.size() - 3), "[0]") << call;
    }
}

} // namespace
