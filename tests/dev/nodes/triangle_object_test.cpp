#include "dev/nodes/triangle_object.h"

#include "dev/materials/metal_material.h"
#include "dev/vtlsceneapi_oo.h"
#include "oo/recording_api.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using Calls = std::vector<std::string>;

// The default material placed inline: a diffuse shader of the default colour.
const Calls kDefaultMaterial = {
    "begin_material \"default\" 1",
    "begin_shader null \"vtl_diffuse\"",
    "set_parameter \"diffuse\" 1 0.75 0.5 0.5",
    "get_shader -> shader#1",
    "end_shader",
    "set_shader 0 shader#1",
    "set_flags 4096",
    "end_material",
};

using vtl_test::concat;

// A single triangle over three vertices.
void fill_triangle(vtl::TriangleObject& mesh) {
    mesh.add_vertex(0, 0, 0);
    mesh.add_vertex(1, 0, 0);
    mesh.add_vertex(0, 1, 0);
    mesh.add_triangle(0, 1, 2);
}

// The validation findings of a one-triangle mesh after `add` added to it.
template <typename Add> std::string findings_after(Add add) {
    vtl::TriangleObject mesh("m");
    fill_triangle(mesh);
    add(mesh);
    mesh.validate();
    return mesh.get_validation_message();
}

TEST(TriangleObject, AMeshWithVerticesAndTrianglesIsPlacedWithItsDefaultMaterial) {
    vtl_test::RecordedFront f;
    vtl::TriangleObject mesh("box");
    fill_triangle(mesh);
    mesh.emit(f.oo);
    EXPECT_EQ(f.api.calls, concat({{"begin_object \"box\" 1", "begin_geometry \"triangles\"",
                                    "set_parameter \"vertices\" 0x8001 [3] 0 0 0 1 0 0 0 1 0",
                                    "set_parameter \"triangles\" 0x8006 [3] 0 1 2", "end_geometry"},
                                   kDefaultMaterial,
                                   {"end_object"}}));
}

TEST(TriangleObject, OptionalArraysFollowInTheirFixedOrder) {
    vtl_test::RecordedFront f;
    vtl::TriangleObject mesh("m");
    fill_triangle(mesh);
    mesh.add_vcolor(1, 0, 0);
    mesh.add_vcolor(0, 1, 0);
    mesh.add_vcolor(0, 0, 1);
    mesh.add_normal(0, 0, 1);
    mesh.add_normal_triangle(0, 0, 0);
    mesh.add_uv(0, 0);
    mesh.add_uv(1, 1);
    mesh.add_uv_triangle(0, 1, 1);
    mesh.emit(f.oo);
    EXPECT_EQ(f.api.starting_with("set_parameter"),
              (Calls{
                  "set_parameter \"vertices\" 0x8001 [3] 0 0 0 1 0 0 0 1 0",
                  "set_parameter \"triangles\" 0x8006 [3] 0 1 2",
                  "set_parameter \"triangles_uv\" 0x8006 [3] 0 1 1",
                  "set_parameter \"uv_tex\" 0x8003 [4] 0 0 1 1",
                  "set_parameter \"triangles_norm\" 0x8006 [3] 0 0 0",
                  "set_parameter \"normals\" 0x8001 [1] 0 0 1",
                  "set_parameter \"vcolors\" 0x8001 [3] 1 0 0 0 1 0 0 0 1",
                  "set_parameter \"diffuse\" 1 0.75 0.5 0.5",
              }));
    EXPECT_TRUE(f.api.starting_with("error").empty()) << f.api.text();
}

TEST(TriangleObject, WithoutTrianglesOnlyTheErrorIsWritten) {
    vtl_test::RecordedFront f;
    vtl::TriangleObject mesh("empty");
    mesh.emit(f.oo);
    EXPECT_EQ(f.api.calls, (Calls{"error \"No triangles defined\""}));
}

TEST(TriangleObject, OtherFindingsAreReportedAfterTheObject) {
    vtl_test::RecordedFront f;
    vtl::TriangleObject mesh("m");
    fill_triangle(mesh);
    for (int i = 0; i < 4; ++i)
        mesh.add_uv(0, 0);
    mesh.emit(f.oo);
    ASSERT_GE(f.api.calls.size(), 2u);
    EXPECT_EQ(f.api.calls[0], "begin_object \"m\" 1");
    EXPECT_EQ(f.api.calls[f.api.calls.size() - 2], "end_object");
    EXPECT_EQ(f.api.calls.back(), "error \"Number of uvs(8)  does not match vertex count(9)\"");
}

TEST(TriangleObjectValidation, EachFindingHasItsOwnText) {
    using Mesh = vtl::TriangleObject;
    EXPECT_EQ(findings_after([](Mesh& m) { m.add_normal_triangle(0, 0, 0); }),
              "No normals defined for index");
    EXPECT_EQ(findings_after([](Mesh& m) {
                  m.add_triangle(0, 2, 1); // indexed normals, short index
                  m.add_normal(0, 0, 1);
                  m.add_normal_triangle(0, 0, 0);
              }),
              "Normals count does not match number of triangles 3 vs 6");
    EXPECT_EQ(findings_after([](Mesh& m) { m.add_uv_triangle(0, 0, 0); }),
              "No uvs defined for index");
    EXPECT_EQ(findings_after([](Mesh& m) {
                  m.add_uv(0, 0); // indexed uvs, long index
                  m.add_uv_triangle(0, 0, 0);
                  m.add_uv_triangle(0, 0, 0);
              }),
              "UV index count does not match triangle count");
    EXPECT_EQ(findings_after([](Mesh& m) { m.add_vcolor(1, 1, 1); }),
              "VetexColor count does not match number of vertices");
}

TEST(TriangleObjectValidation, ConsistentMeshesHaveNoFindings) {
    vtl::TriangleObject per_vertex("per vertex");
    fill_triangle(per_vertex);
    for (int i = 0; i < 3; ++i) {
        per_vertex.add_normal(0, 0, 1);
        per_vertex.add_uv(0, 1);
        per_vertex.add_vcolor(1, 1, 1);
    }
    EXPECT_TRUE(per_vertex.validate());
    EXPECT_EQ(per_vertex.get_validation_message(), "");

    vtl::TriangleObject indexed("indexed");
    fill_triangle(indexed);
    indexed.add_normal(0, 0, 1);
    indexed.add_normal_triangle(0, 0, 0);
    indexed.add_uv(0, 1);
    indexed.add_uv_triangle(0, 0, 0);
    EXPECT_TRUE(indexed.validate());
    EXPECT_EQ(indexed.get_validation_message(), "");
}

TEST(TriangleObjectValidation, FindingsAreJoinedWithoutSeparatorsAndReplacedEachTime) {
    vtl::TriangleObject mesh("m");
    for (int i = 0; i < 3; ++i)
        mesh.add_vertex(0, 0, 0);
    for (int i = 0; i < 4; ++i)
        mesh.add_normal(0, 0, 1);
    EXPECT_FALSE(mesh.validate());
    EXPECT_EQ(mesh.get_validation_message(),
              "Number of normals does not equal number of verticesNo triangles defined");

    mesh.add_vertex(0, 0, 0);
    mesh.add_triangle(0, 1, 2);
    mesh.add_uv_triangle(0, 0, 0);
    mesh.add_vcolor(1, 1, 1);
    EXPECT_TRUE(mesh.validate());
    EXPECT_EQ(mesh.get_validation_message(),
              "No uvs defined for indexVetexColor count does not match number of vertices");
}

TEST(TriangleObject, DefineWritesANumberedDefinitionWithoutMaterialThenEmitPlacesIt) {
    vtl_test::RecordedFront f;
    vtl::TriangleObject mesh("box");
    fill_triangle(mesh);
    mesh.define(f.oo);
    EXPECT_EQ(
        f.api.calls,
        (Calls{"begin_object \"box\" 0", "set_id 1", "begin_geometry \"triangles\"",
               "set_parameter \"vertices\" 0x8001 [3] 0 0 0 1 0 0 0 1 0",
               "set_parameter \"triangles\" 0x8006 [3] 0 1 2", "end_geometry", "end_object"}));
    EXPECT_TRUE(mesh.is_instance());
    EXPECT_EQ(mesh.get_object_id(), 1u);
    EXPECT_TRUE(mesh.get_vertices().empty());
    EXPECT_TRUE(mesh.get_triangles().empty());
    EXPECT_EQ(mesh.data_size(), 0u);

    f.api.calls.clear();
    mesh.emit(f.oo);
    EXPECT_EQ(f.api.calls, concat({{"begin_object \"box\" 1", "begin_geometry \"instance\"",
                                    "set_parameter \"id\" 6 1", "end_geometry"},
                                   kDefaultMaterial,
                                   {"end_object"}}));
}

TEST(TriangleObject, APlacementMadeFromAnIdNeedsNoTrianglesAndReportsNothing) {
    vtl_test::RecordedFront f;
    vtl::TriangleObject mesh("again");
    mesh.set_object_id(7);
    auto metal = std::make_shared<vtl::MetalMaterial>("steel");
    metal->define(f.oo);
    mesh.set_material(metal);
    f.api.calls.clear();
    mesh.emit(f.oo);
    EXPECT_EQ(f.api.calls, (Calls{"begin_object \"again\" 1", "begin_geometry \"instance\"",
                                  "set_parameter \"id\" 6 7", "end_geometry",
                                  "use_material \"steel\"", "end_object"}));
}

TEST(TriangleObject, DefiningAnInstanceDefinesAReferenceUnderANewId) {
    vtl_test::RecordedFront f;
    vtl::TriangleObject mesh("m");
    fill_triangle(mesh);
    mesh.define(f.oo);
    f.api.calls.clear();
    mesh.define(f.oo);
    EXPECT_EQ(f.api.calls, (Calls{"begin_object \"m\" 0", "set_id 2", "begin_geometry \"instance\"",
                                  "set_parameter \"id\" 6 1", "end_geometry", "end_object"}));
    EXPECT_EQ(mesh.get_object_id(), 2u);
}

TEST(TriangleObject, TheIdWrittenIsTheLow32BitsOfTheObjectId) {
    vtl_test::RecordedFront f;
    vtl::TriangleObject mesh("m");
    mesh.set_object_id(0x100000005ull);
    mesh.emit(f.oo);
    EXPECT_EQ(f.api.calls[2], "set_parameter \"id\" 6 5");
}

TEST(TriangleObject, DataSizeCountsFourBytesPerValue) {
    vtl::TriangleObject mesh("m");
    fill_triangle(mesh);
    EXPECT_EQ(mesh.data_size(), 48u);
    mesh.add_uv(0, 0);
    mesh.add_uv_triangle(0, 0, 0);
    mesh.add_normal(0, 0, 1);
    mesh.add_normal_triangle(0, 0, 0);
    mesh.add_vcolor(1, 1, 1);
    EXPECT_EQ(mesh.data_size(), 48u + 4 * (2 + 3 + 3 + 3 + 3));
}

TEST(TriangleObject, BulkSettersReplaceTheirArrays) {
    vtl::TriangleObject mesh("m");
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

TEST(TriangleObject, WithoutABackEndNothingHappens) {
    vtl::PassThroughFactory factory(nullptr);
    vtl::vtlSceneapi_oo oo(&factory);
    vtl::TriangleObject mesh("m");
    fill_triangle(mesh);
    mesh.define(oo);
    mesh.emit(oo);
    oo.add(mesh);
    EXPECT_FALSE(mesh.is_instance());
    EXPECT_EQ(mesh.get_object_id(), 0u);
}

} // namespace
