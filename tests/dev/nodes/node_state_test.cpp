// What the Scene file does not show: mesh validation, the state a definition leaves behind,
// the order of the camera's environment calls, and nodes on a front without a back-end.

#include "dev/nodes/animation.h"
#include "dev/nodes/default_rt_module.h"
#include "dev/nodes/light_camera.h"
#include "dev/nodes/nurbs_curve.h"
#include "dev/nodes/simple_nurbs_surface.h"
#include "dev/nodes/triangle_object.h"
#include "oo/recording_api.h"

#include "shapes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Calls = std::vector<std::string>;
using Mesh = vtl::TriangleObject;

// Three vertices, and as many of each array's elements as the row says.
TEST(TriangleObjectValidation, EachFindingHasItsOwnTextAndTheyAreJoinedWithoutSeparators) {
    struct Case {
        int normals, normal_triangles, uvs, uv_triangles, vcolors, triangles;
        const char* findings;
    };
    const Case cases[] = {
        {3, 0, 3, 0, 3, 1, ""}, // one of each per vertex
        {1, 1, 1, 1, 0, 1, ""}, // indexed
        {0, 1, 0, 0, 0, 1, "No normals defined for index"},
        {1, 1, 0, 0, 0, 2, "Normals count does not match number of triangles 3 vs 6"},
        {0, 0, 0, 1, 0, 1, "No uvs defined for index"},
        {0, 0, 1, 2, 0, 1, "UV index count does not match triangle count"},
        {0, 0, 4, 0, 0, 1, "Number of uvs(8)  does not match vertex count(9)"},
        {0, 0, 0, 0, 1, 1, "VetexColor count does not match number of vertices"},
        {0, 0, 0, 1, 1, 1,
         "No uvs defined for indexVetexColor count does not match number of vertices"},
        {4, 0, 0, 0, 0, 0,
         "Number of normals does not equal number of verticesNo triangles defined"},
    };
    for (const Case& c : cases) {
        Mesh mesh("m");
        for (int i = 0; i < 3; ++i)
            mesh.add_vertex(0, 0, 0);
        for (int i = 0; i < c.triangles; ++i)
            mesh.add_triangle(0, 1, 2);
        for (int i = 0; i < c.normals; ++i)
            mesh.add_normal(0, 0, 1);
        for (int i = 0; i < c.normal_triangles; ++i)
            mesh.add_normal_triangle(0, 0, 0);
        for (int i = 0; i < c.uvs; ++i)
            mesh.add_uv(0, 1);
        for (int i = 0; i < c.uv_triangles; ++i)
            mesh.add_uv_triangle(0, 0, 0);
        for (int i = 0; i < c.vcolors; ++i)
            mesh.add_vcolor(1, 1, 1);
        EXPECT_EQ(mesh.validate(), c.triangles > 0) << c.findings;
        EXPECT_EQ(mesh.get_validation_message(), c.findings);
    }
}

TEST(TriangleObjectValidation, EachValidationReplacesTheFindingsAndAnInstanceIsNotTested) {
    Mesh mesh("m");
    EXPECT_FALSE(mesh.validate());
    fill_triangle(mesh);
    EXPECT_TRUE(mesh.validate());
    EXPECT_EQ(mesh.get_validation_message(), "");
    Mesh placed("p");
    placed.set_object_id(3);
    EXPECT_TRUE(placed.validate());
}

TEST(TriangleObject, DefineEmptiesTheArraysAndTheNodeStandsForTheNewId) {
    vtl_test::RecordedFront f;
    f.oo.new_id();
    Mesh mesh("box");
    fill_triangle(mesh);
    EXPECT_EQ(mesh.data_size(), 48u);
    mesh.add_uv(0, 0);
    mesh.add_uv_triangle(0, 0, 0);
    mesh.add_normal(0, 0, 1);
    mesh.add_normal_triangle(0, 0, 0);
    mesh.add_vcolor(1, 1, 1);
    EXPECT_EQ(mesh.data_size(), 48u + 4 * (2 + 3 + 3 + 3 + 3));
    EXPECT_FALSE(mesh.is_instance());
    mesh.define(f.oo);
    EXPECT_TRUE(mesh.is_instance());
    EXPECT_EQ(mesh.get_object_id(), 2u);
    EXPECT_TRUE(mesh.get_vertices().empty());
    EXPECT_TRUE(mesh.get_triangles().empty());
    EXPECT_EQ(mesh.data_size(), 0u);
}

TEST(TriangleObject, BulkSettersReplaceTheirArrays) {
    Mesh mesh("m");
    fill_triangle(mesh);
    const float vertices[] = {5, 6, 7};
    const int triangles[] = {0, 0, 0, 0, 0, 0};
    const float uvs[] = {0.5f, 0.25f};
    const float normals[] = {0, 1, 0};
    mesh.set_vertices(vertices, 3);
    mesh.set_triangles(triangles, 6);
    mesh.set_uvs(uvs, 2);
    mesh.set_normals(normals, 3);
    EXPECT_EQ(mesh.get_vertices(), (std::vector<float>{5, 6, 7}));
    EXPECT_EQ(mesh.get_triangles(), (std::vector<int>(6, 0)));
    EXPECT_EQ(mesh.get_uvs(), (std::vector<float>{0.5f, 0.25f}));
    EXPECT_EQ(mesh.get_normals(), (std::vector<float>{0, 1, 0}));
}

TEST(TriangleObject, BulkAppendsKeepEveryValueOfBigArrays) {
    // Twelve megabytes: the array's new memory is made ready on several threads.
    std::vector<float> values(std::size_t(3) << 20);
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<float>(i);
    Mesh mesh("m");
    mesh.append_vertices(values.data(), 3);
    mesh.append_vertices(values.data() + 3, values.size() - 3);
    EXPECT_TRUE(mesh.get_vertices() == values);
}

TEST(SimpleNurbsSurface, DefineEmptiesTheDataButKeepsTheCurveAttached) {
    vtl_test::RecordedFront f;
    vtl::SimpleNurbsSurface surface("patch");
    for (double k : {0.0, 0.0, 1.0, 1.0}) {
        surface.add_uknot(k);
        surface.add_vknot(k);
    }
    for (int i = 0; i < 4; ++i)
        surface.add_control_point(0, 0, 0, 1);
    EXPECT_EQ(surface.data_size(), 8u * (4 + 4 + 16));
    auto trim = one_edge_trim(1);
    surface.set_trim(trim);
    // Trim: 4 ints and 1 + 1 + 4 + 6 doubles.
    EXPECT_EQ(trim->data_size(), 4u * 4 + 8u * 12);
    EXPECT_EQ(surface.data_size(), 8u * (4 + 4 + 16) + 4u * 4 + 8u * 12);
    surface.define(f.oo);
    EXPECT_TRUE(surface.is_instance());
    EXPECT_EQ(surface.get_object_id(), 1u);
    EXPECT_EQ(surface.get_trim(), trim);
    EXPECT_EQ(trim->data_size(), 0u);
    EXPECT_EQ(surface.data_size(), 0u);
}

TEST(LightCamera, EachEmissionTakesItsOwnEnvironmentWhileTheShaderIsOpen) {
    vtl_test::RecordedFront f;
    vtl::LightCamera camera("c");
    camera.emit(f.oo);
    camera.emit(f.oo);
    const Calls environment = {"begin_shader vtl_envmap",
                               "set_parameter texture 10",
                               "set_parameter format 6",
                               "set_parameter radius 3",
                               "get_shader -> shader#N",
                               "end_shader",
                               "set_parameter reflection map 65536"};
    Calls expected;
    for (const char* n : {"1", "2"}) {
        expected.insert(expected.end(), {"set_parameter projection 10", "set_parameter fov 3"});
        expected.insert(expected.end(), environment.begin(), environment.end());
        expected[expected.size() - 3] = std::string("get_shader -> shader#") + n;
        expected.insert(expected.end(), {"set_parameter position 5", "set_parameter direction 5",
                                         "set_parameter up 5"});
    }
    EXPECT_EQ(f.api.calls, expected);
    EXPECT_EQ(f.api.shader_depth(), 0u);
}

TEST(FBXAnimation, WriteReturnsWhatTheBackEndSaidAtTheEnd) {
    vtl_test::RecordedFront f;
    vtl::FBXAnimation animation("a", 0, 1, false);
    EXPECT_TRUE(animation.write(f.oo));
    f.api.accept = false;
    EXPECT_FALSE(animation.write(f.oo));
}

TEST(LightNode, WithoutABackEndNothingHappens) {
    vtl::PassThroughFactory factory(nullptr);
    vtl::vtlSceneapi_oo oo(&factory);
    Mesh mesh("m");
    fill_triangle(mesh);
    mesh.define(oo);
    mesh.emit(oo);
    EXPECT_FALSE(mesh.is_instance());
    EXPECT_EQ(mesh.get_object_id(), 0u);
    vtl::SimpleNurbsSurface surface("s");
    surface.define(oo);
    surface.emit(oo);
    EXPECT_FALSE(surface.is_instance());
    vtl::LightCamera camera("c");
    camera.emit(oo);
    vtl::DefaultRTModule module;
    module.emit(oo);
    EXPECT_FALSE(vtl::FBXAnimation("a", 0, 1, false).write(oo));
}

} // namespace
