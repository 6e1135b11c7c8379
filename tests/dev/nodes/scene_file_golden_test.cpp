// Scene nodes written through the front into the real Scene file writer: each case is a call
// sequence and the exact text it writes after the banner and version lines.

#include "dev/materials/metal_material.h"
#include "dev/nodes/animation.h"
#include "dev/nodes/default_rt_module.h"
#include "dev/nodes/light_camera.h"
#include "dev/nodes/nurbs_curve.h"
#include "dev/nodes/simple_nurbs_surface.h"
#include "dev/nodes/triangle_object.h"
#include "oo/front_scene.h"

#include "shapes.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

namespace {

using Oo = vtl::vtlSceneapi_oo;

// The default material placed inline, and the end of the object that carries it.
const std::string kDefaultMaterialAndEnd = " material \"default\" {\n"
                                           "  surface   \"vtl_diffuse\" {\n"
                                           "   \"diffuse\" 0.75 0.5 0.5,\n"
                                           "  }  \n"
                                           "  flags 4096\n"
                                           " }\n"
                                           "}\n";

// The environment every camera block carries as its reflection map.
const std::string kEnvironment = " reflection map   \"vtl_envmap\" {\n"
                                 "   \"texture\" \"startup.hdr\",\n"
                                 "   \"format\" 3,\n"
                                 "   \"radius\" 25,\n"
                                 "  }\n";

// Doubles are written with sixteen digits after the point.
#define Z "0.0000000000000000"
#define O "1.0000000000000000"
#define T "2.0000000000000000"

vtlMatrix scaled_identity(double s) {
    vtlMatrix m{};
    for (int i = 0; i < 4; ++i)
        m.m[i][i] = s;
    return m;
}

const vtl_test::SceneCase kCases[] = {
    {"import options as a fresh module has them, define writing nothing",
     [](Oo& oo) {
         vtl::DefaultRTModule module;
         module.define(oo);
         oo.add(module);
     },
     "load \"vtlrtopt.so\" {\n"
     " \"import_mode\" on,\n"
     " \"import_merge_groups\" on,\n"
     " \"import_merge_objects\" on,\n"
     " \"import_up_vector\" 0,\n"
     " \"meter_scale\" 1,\n"
     " \"import_keep_original\" off,\n"
     " \"import_center_geometry\" on,\n"
     " \"import_snap_to_ground\" off,\n"
     " \"import_adjust_camera\" on,\n"
     " \"import_adjust_environment\" on,\n"
     " \"ext\" on,\n"
     "}\n"},
    {"every import option changed, the camera name before ext",
     [](Oo& oo) {
         vtl::DefaultRTModule module;
         module.set_import_mode(false);
         module.set_import_merge_groups(false);
         module.set_import_merge_objects(false);
         module.set_import_up_vector(2);
         module.set_meter_scale(0.001f);
         module.set_import_keep_original(true);
         module.set_import_center_geometry(false);
         module.set_import_snap_to_ground(true);
         module.set_import_adjust_camera(false);
         module.set_import_adjust_environment(false);
         module.set_import_use_camera("cam1");
         module.set_ext(false);
         oo.add(module);
     },
     "load \"vtlrtopt.so\" {\n"
     " \"import_mode\" off,\n"
     " \"import_merge_groups\" off,\n"
     " \"import_merge_objects\" off,\n"
     " \"import_up_vector\" 2,\n"
     " \"meter_scale\" 0.001,\n"
     " \"import_keep_original\" on,\n"
     " \"import_center_geometry\" off,\n"
     " \"import_snap_to_ground\" on,\n"
     " \"import_adjust_camera\" off,\n"
     " \"import_adjust_environment\" off,\n"
     " \"import_use_camera\" \"cam1\",\n"
     " \"ext\" off,\n"
     "}\n"},
    {"a mesh defined, defined again as a reference, then placed",
     [](Oo& oo) {
         vtl::TriangleObject mesh("m");
         fill_triangle(mesh);
         mesh.define(oo);
         mesh.define(oo);
         mesh.emit(oo);
     },
     "#define object \"m\" {\n"
     " id 1\n"
     " geometry \"triangles\" {\n"
     "  \"vertices\" [ 0 0 0,1 0 0,0 1 0 ] ,\n"
     "  \"triangles\" [ 0,1,2 ] ,\n"
     " }\n"
     "}\n"
     "#define object \"m\" {\n"
     " id 2\n"
     " geometry \"instance\" {\n"
     "  \"id\" 1,\n"
     " }\n"
     "}\n"
     "object \"m\" {\n"
     " geometry \"instance\" {\n"
     "  \"id\" 2,\n"
     " }\n" +
         kDefaultMaterialAndEnd},
    {"a placed mesh's optional arrays in their fixed order",
     [](Oo& oo) {
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
         oo.add(mesh);
     },
     "object \"m\" {\n"
     " geometry \"triangles\" {\n"
     "  \"vertices\" [ 0 0 0,1 0 0,0 1 0 ] ,\n"
     "  \"triangles\" [ 0,1,2 ] ,\n"
     "  \"triangles_uv\" [ 0,1,1 ] ,\n"
     "  \"uv_tex\" [ 0,0,1,1 ] ,\n"
     "  \"triangles_norm\" [ 0,0,0 ] ,\n"
     "  \"normals\" [ 0 0 1 ] ,\n"
     "  \"vcolors\" [ 1 0 0,0 1 0,0 0 1 ] ,\n"
     " }\n" +
         kDefaultMaterialAndEnd},
    {"a mesh without triangles writes only the error",
     [](Oo& oo) {
         vtl::TriangleObject mesh("empty");
         mesh.emit(oo);
     },
     "#error \"No triangles defined\"\n"},
    {"other findings follow the object they concern",
     [](Oo& oo) {
         vtl::TriangleObject mesh("m");
         fill_triangle(mesh);
         for (int i = 0; i < 4; ++i)
             mesh.add_uv(0, 0);
         mesh.emit(oo);
     },
     "object \"m\" {\n"
     " geometry \"triangles\" {\n"
     "  \"vertices\" [ 0 0 0,1 0 0,0 1 0 ] ,\n"
     "  \"triangles\" [ 0,1,2 ] ,\n"
     "  \"uv_tex\" [ 0,0,0,0,0,0,0,0 ] ,\n"
     " }\n" +
         kDefaultMaterialAndEnd + "#error \"Number of uvs(8)  does not match vertex count(9)\"\n"},
    {"a placement made from an id (its low 32 bits) with a defined material",
     [](Oo& oo) {
         auto metal = std::make_shared<vtl::MetalMaterial>("steel");
         metal->define(oo);
         vtl::TriangleObject mesh("again");
         mesh.set_object_id(0x100000007ull);
         mesh.set_material(metal);
         mesh.emit(oo);
     },
     "\n"
     "#define material \"steel\" {\n"
     " surface  \"vtl_metal\" {\n"
     "  \"color\" 0.75 0.5 0.5,\n"
     " } \n"
     " flags 4096\n"
     "}\n"
     "object \"again\" {\n"
     " geometry \"instance\" {\n"
     "  \"id\" 7,\n"
     " }\n"
     " material \"steel\"\n"
     "}\n"},
    {"a trimmed NURBS surface, the trim arrays after Pw",
     [](Oo& oo) {
         vtl::SimpleNurbsSurface surface("patch");
         surface.set_knot_domain(0, 1, 0, 2);
         surface.set_order(3, 4);
         for (double k : {0.0, 0.0, 1.0, 1.0}) {
             surface.add_uknot(k);
             surface.add_vknot(k);
         }
         surface.add_control_point(0, 0, 0, 1);
         surface.add_control_point(1, 0, 0, 1);
         surface.add_control_point(0, 1, 0, 1);
         surface.add_control_point(1, 1, 0, 1);
         surface.set_trim(one_edge_trim(0));
         surface.emit(oo);
     },
     "object \"patch\" {\n"
     " geometry \"nurbs\" {\n"
     "  \"umin\" " Z ",\n"
     "  \"umax\" " O ",\n"
     "  \"vmin\" " Z ",\n"
     "  \"vmax\" " T ",\n"
     "  \"uorder\" 3.0000000000000000,\n"
     "  \"vorder\" 4.0000000000000000,\n"
     "  \"uknot\" [ " Z "," Z "," O "," O " ] ,\n"
     "  \"vknot\" [ " Z "," Z "," O "," O " ] ,\n"
     "  \"Pw\" [ " Z "," Z "," Z "," O "," O "," Z "," Z "," O "," Z ",\n"
     "  " O "," Z "," O "," O "," O "," Z "," O " ] ,\n"
     "  \"trim_nedges\" [ 1 ] ,\n"
     "  \"trim_inside\" [ 0 ] ,\n"
     "  \"edge_order\" [ 2 ] ,\n"
     "  \"edge_nknots\" [ 4 ] ,\n"
     "  \"edge_min\" [ " Z " ] ,\n"
     "  \"edge_max\" [ " O " ] ,\n"
     "  \"edge_knot\" [ " Z "," Z "," O "," O " ] ,\n"
     "  \"edge_uvw\" [ " Z "," Z "," O "," O "," O "," O " ] ,\n"
     " }\n" +
         kDefaultMaterialAndEnd},
    {"an unset domain and order as their markers, an empty second trim replacing the first",
     [](Oo& oo) {
         vtl::SimpleNurbsSurface surface("bare");
         auto first = one_edge_trim(1);
         first->define(oo); // writes nothing
         surface.set_trim(first);
         surface.set_trim(std::make_shared<vtl::NurbsCurve>());
         surface.emit(oo);
     },
     "object \"bare\" {\n"
     " geometry \"nurbs\" {\n"
     "  \"umin\" 340282346638528859811704183484516925440.0000000000000000,\n"
     "  \"umax\" " Z ",\n"
     "  \"vmin\" 340282346638528859811704183484516925440.0000000000000000,\n"
     "  \"vmax\" " Z ",\n"
     "  \"uorder\" -1.0000000000000000,\n"
     "  \"vorder\" -1.0000000000000000,\n"
     "  \"uknot\" [ ] ,\n"
     "  \"vknot\" [ ] ,\n"
     "  \"Pw\" [ ] ,\n"
     "  \"trim_nedges\" [ ] ,\n"
     "  \"trim_inside\" [ ] ,\n"
     "  \"edge_order\" [ ] ,\n"
     "  \"edge_nknots\" [ ] ,\n"
     "  \"edge_min\" [ ] ,\n"
     "  \"edge_max\" [ ] ,\n"
     "  \"edge_knot\" [ ] ,\n"
     "  \"edge_uvw\" [ ] ,\n"
     " }\n" +
         kDefaultMaterialAndEnd},
    {"a NURBS surface made from an id is placed as an instance",
     [](Oo& oo) {
         vtl::SimpleNurbsSurface surface("p");
         surface.set_object_id(4);
         surface.emit(oo);
     },
     "object \"p\" {\n"
     " geometry \"instance\" {\n"
     "  \"id\" 4,\n"
     " }\n" +
         kDefaultMaterialAndEnd},
    {"keyframes as parallel arrays",
     [](Oo& oo) {
         vtl::FBXAnimation animation("spin", 0.5f, 10.0f, true);
         animation.set_folder("takes");
         animation.add_frame(0, scaled_identity(2));
         animation.add_frame(10, scaled_identity(2));
         animation.define(oo);
         oo.add(animation);
     },
     "animation \"fbx_animation\" \"spin\" {\n"
     " \"start_time\" 0.5,\n"
     " \"duration\" 10,\n"
     " \"timestamps\" [ 0,10 ] ,\n"
     " \"matrices\" [  2 0 0 0 0 2 0 0 0 0 2 0 0 0 0 2 ,\n"
     " 2 0 0 0 0 2 0 0 0 0 2 0 0 0 0 2 \n"
     "] ,\n"
     " \"interpolate\" on,\n"
     " \"folder\" \"takes\",\n"
     "}\n"},
    {"mismatched keyframe counts inside a group",
     [](Oo& oo) {
         vtl::FBXAnimation animation("walk", 0, 2.5f, false);
         animation.add_timestamp(0);
         animation.add_timestamp(10);
         animation.add_matrix(scaled_identity(1));
         oo.begin_group("rig");
         oo.add(animation);
         oo.end_group();
     },
     "\n"
     "group \"rig\" {\n"
     " animation \"fbx_animation\"  \"walk\" {\n"
     "  \"start_time\" 0,\n"
     "  \"duration\" 2.5,\n"
     "  #error \"  Number of timestamps(2) does not match number of matrices(1)\"\n"
     "  \"timestamps\" [ 0,10 ] ,\n"
     "  \"matrices\" [   1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1 \n"
     "] ,\n"
     "  \"interpolate\" off,\n"
     "  \"folder\" \"\",\n"
     " }\n"
     "}\n"},
    {"a camera as built, define writing nothing",
     [](Oo& oo) {
         vtl::LightCamera camera("camera");
         camera.define(oo);
         oo.add(camera);
     },
     "\n"
     "camera \"camera\" {\n"
     " projection \"perspective\"\n"
     " fov 60\n" +
         kEnvironment +
         " position 0 0 0\n"
         " direction 0 0 -1\n"
         " up 0 1 0\n"
         "}\n"},
    {"an orthographic camera has no field of view",
     [](Oo& oo) {
         vtl::LightCamera camera("c");
         camera.set_fov4(1, 2, 3, 4);
         camera.set_projection(1);
         oo.add(camera);
     },
     "\n"
     "camera \"c\" {\n"
     " projection \"orthographic\"\n" +
         kEnvironment +
         " position 0 0 0\n"
         " direction 0 0 -1\n"
         " up 0 1 0\n"
         "}\n"},
    {"projection 2 with fov4, look_at, clipping and a fixed transform",
     [](Oo& oo) {
         vtl::LightCamera camera("camera");
         camera.set_position(1, 2, 3);
         camera.set_direction(0, -1, 0);
         camera.set_up(0, 0, 1);
         camera.set_look_at(0, 0, -1);
         camera.set_projection(2);
         camera.set_fov4(0.5f, -0.5f, 0.25f, -0.25f);
         camera.set_clipping(0.5f, 100);
         camera.set_camera_transform(scaled_identity(3));
         oo.add(camera);
     },
     "\n"
     "camera \"camera\" {\n"
     " projection \"perspective\"\n"
     " fov4 0.5 -0.5 0.25 -0.25\n" +
         kEnvironment +
         " position 1 2 3\n"
         " direction 0 -1 0\n"
         " look_at 0 0 -1\n"
         " up 0 0 1\n"
         " clipping 0.5 100\n"
         " transform 3 0 0 0 0 3 0 0 0 0 3 0 0 0 0 3\n"
         "}\n"},
    {"set_fov after fov4, an attached node in place of the fixed transform",
     [](Oo& oo) {
         vtl::LightCamera camera("c");
         camera.set_fov4(1, 2, 3, 4);
         camera.set_fov(45);
         camera.set_camera_transform(scaled_identity(3));
         camera.set_animation(std::make_shared<vtl::FBXAnimation>("move", 0, 1, false));
         oo.add(camera);
     },
     "\n"
     "camera \"c\" {\n"
     " projection \"perspective\"\n"
     " fov 45\n" +
         kEnvironment +
         " position 0 0 0\n"
         " direction 0 0 -1\n"
         " up 0 1 0\n"
         " animation \"fbx_animation\"  \"move\" {\n"
         "  \"start_time\" 0,\n"
         "  \"duration\" 1,\n"
         "  \"timestamps\" [ ] ,\n"
         "  \"matrices\" [ ] ,\n"
         "  \"interpolate\" off,\n"
         "  \"folder\" \"\",\n"
         " }\n"
         "}\n"},
};

#undef Z
#undef O
#undef T

TEST(SceneFile, EachCallSequenceWritesItsText) {
    for (const vtl_test::SceneCase& c : kCases)
        EXPECT_EQ(vtl_test::scene_body(c.calls), c.expected) << c.name;
}

TEST(SceneFile, ClippingIsWrittenOnlyForAPositiveIncreasingRange) {
    struct Clipping {
        float near_value, far_value;
        const char* line; // empty when no clipping line is written
    };
    for (const Clipping& c :
         {Clipping{0.1f, 100, " clipping 0.1 100\n"}, Clipping{0, 100, ""}, Clipping{-1, -1, ""},
          Clipping{10, 5, ""}, Clipping{5, 5, ""}, Clipping{1, 0, ""}}) {
        const std::string text = vtl_test::scene_body([&](Oo& oo) {
            vtl::LightCamera camera("c");
            camera.set_clipping(c.near_value, c.far_value);
            oo.add(camera);
        });
        const std::string::size_type at = text.find("clipping");
        if (*c.line == '\0')
            EXPECT_EQ(at, std::string::npos) << c.near_value << " " << c.far_value;
        else
            EXPECT_NE(text.find(c.line), std::string::npos) << text;
    }
}

} // namespace
