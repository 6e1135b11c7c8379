// Whole nodes written through the front into the real Scene file writer, compared with the
// exact text of the Scene file.

#include "dev/factory/pass_through_factory.h"
#include "dev/materials/generic_material.h"
#include "dev/nodes/animation.h"
#include "dev/nodes/light_camera.h"
#include "dev/nodes/nurbs_curve.h"
#include "dev/nodes/simple_nurbs_surface.h"
#include "dev/nodes/triangle_object.h"
#include "dev/vtlsceneapi_oo.h"
#include "file_api/vtlscene_api_file.h"

#include "nurbs_shapes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <regex>
#include <string>

namespace {

// The default material placed inline, and the end of the object that carries it.
const std::string kDefaultMaterialAndEnd = " material \"default\" {\n"
                                           "  surface   \"vtl_diffuse\" {\n"
                                           "   \"diffuse\" 0.75 0.5 0.5,\n"
                                           "  }  \n"
                                           "  flags 4096\n"
                                           " }\n"
                                           "}\n";

// A Scene file destination over a memory stream, set up as a Scene file is opened: the writer,
// a front on it (banner and version), then text arrays and indentation.
class SceneCapture {
public:
#ifdef _WIN32
    // No memory streams on Windows: a temporary file, read back when the destination ends.
    SceneCapture() : stream_(std::tmpfile()) {
#else
    SceneCapture() : stream_(open_memstream(&data_, &size_)) {
#endif
        writer_ = std::make_unique<vtlScene_api_file>(stream_, true);
        factory_ = std::make_unique<vtl::PassThroughFactory>(writer_.get());
        oo_ = std::make_unique<vtl::vtlSceneapi_oo>(factory_.get());
        writer_->set_writer_flags(1);
    }
    SceneCapture(const SceneCapture&) = delete;
    SceneCapture& operator=(const SceneCapture&) = delete;
    ~SceneCapture() {
        close();
        std::free(data_);
    }

    vtl::vtlSceneapi_oo& oo() { return *oo_; }

    // Ends the destination and returns the whole file.
    std::string text() {
        close();
        return std::string(data_, size_);
    }

    // Ends the destination and returns what follows the banner and version lines.
    std::string body() {
        const std::string all = text();
        const std::string::size_type end = all.find(kVersionLine);
        if (end == std::string::npos) return "(no version line)\n" + all;
        return all.substr(end + kVersionLine.size());
    }

private:
    static inline const std::string kVersionLine = "version 10\n\n";

    void close() {
        oo_.reset();
        factory_.reset();
        writer_.reset();
#ifdef _WIN32
        if (stream_ != nullptr) {
            std::fflush(stream_);
            size_ = static_cast<size_t>(std::ftell(stream_));
            std::rewind(stream_);
            data_ = static_cast<char*>(std::malloc(size_ + 1));
            size_ = std::fread(data_, 1, size_, stream_);
        }
#endif
        if (stream_ != nullptr) std::fclose(stream_);
        stream_ = nullptr;
    }

    char* data_ = nullptr;
    size_t size_ = 0;
    FILE* stream_;
    std::unique_ptr<vtlScene_api_file> writer_;
    std::unique_ptr<vtl::PassThroughFactory> factory_;
    std::unique_ptr<vtl::vtlSceneapi_oo> oo_;
};

TEST(SceneFile, StartsWithTheBannerAndTheVersion) {
    SceneCapture scene;
    const std::string text = scene.text();
    const std::regex start("#print \"Photara SceneApi oo 8\\.1\\.24  \\(built "
                           "[A-Z][a-z]{2} [A-Z][a-z]{2} [ 1-3][0-9] "
                           "[0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}\\)\"\nversion 10\n\n");
    EXPECT_TRUE(std::regex_match(text, start)) << text;
}

TEST(SceneFile, AMeshDefinedThenPlacedWithItsDefaultMaterial) {
    SceneCapture scene;
    vtl::TriangleObject mesh("box");
    mesh.add_vertex(0, 0, 0);
    mesh.add_vertex(1, 0, 0);
    mesh.add_vertex(0, 1, 0.5f);
    mesh.add_triangle(0, 1, 2);
    mesh.define(scene.oo());
    mesh.emit(scene.oo());
    EXPECT_EQ(scene.body(), "#define object \"box\" {\n"
                            " id 1\n"
                            " geometry \"triangles\" {\n"
                            "  \"vertices\" [ 0 0 0,1 0 0,0 1 0.5 ] ,\n"
                            "  \"triangles\" [ 0,1,2 ] ,\n"
                            " }\n"
                            "}\n"
                            "object \"box\" {\n"
                            " geometry \"instance\" {\n"
                            "  \"id\" 1,\n"
                            " }\n" +
                                kDefaultMaterialAndEnd);
}

TEST(SceneFile, ATrimmedNurbsSurface) {
    SceneCapture scene;
    vtl::SimpleNurbsSurface surface("patch");
    surface.set_knot_domain(0, 1, 0, 1);
    surface.set_order(2, 2);
    for (double k : {0.0, 0.0, 1.0, 1.0}) {
        surface.add_uknot(k);
        surface.add_vknot(k);
    }
    surface.add_control_point(0, 0, 0, 1);
    surface.add_control_point(1, 0, 0, 1);
    surface.add_control_point(0, 1, 0, 1);
    surface.add_control_point(1, 1, 0, 1);
    surface.set_trim(one_edge_trim(0));
    surface.emit(scene.oo());

#define Z "0.0000000000000000"
#define O "1.0000000000000000"
#define T "2.0000000000000000"
    EXPECT_EQ(scene.body(), "object \"patch\" {\n"
                            " geometry \"nurbs\" {\n"
                            "  \"umin\" " Z ",\n"
                            "  \"umax\" " O ",\n"
                            "  \"vmin\" " Z ",\n"
                            "  \"vmax\" " O ",\n"
                            "  \"uorder\" " T ",\n"
                            "  \"vorder\" " T ",\n"
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
                                kDefaultMaterialAndEnd);
#undef Z
#undef O
#undef T
}

TEST(SceneFile, ACameraWithFov4AndItsEnvironmentAsReflectionMap) {
    SceneCapture scene;
    vtl::LightCamera camera("camera");
    camera.set_position(1, 2, 3);
    camera.set_direction(0, 0, -1);
    camera.set_up(0, 1, 0);
    camera.set_projection(0);
    camera.set_fov4(0.5f, -0.5f, 0.25f, -0.25f);
    camera.set_clipping(0.5f, 100);
    scene.oo().add(camera);
    EXPECT_EQ(scene.body(), "\n"
                            "camera \"camera\" {\n"
                            " projection \"perspective\"\n"
                            " fov4 0.5 -0.5 0.25 -0.25\n"
                            " reflection map   \"vtl_envmap\" {\n"
                            "   \"texture\" \"startup.hdr\",\n"
                            "   \"format\" 3,\n"
                            "   \"radius\" 25,\n"
                            "  }\n"
                            " position 1 2 3\n"
                            " direction 0 0 -1\n"
                            " up 0 1 0\n"
                            " clipping 0.5 100\n"
                            "}\n");
}

TEST(SceneFile, AGenericMaterialWithDiffuseTextureBumpAndOpacity) {
    SceneCapture scene;
    vtl::GenericMaterial material("mat");
    material.set_color(1, 0.5f, 0.25f);
    material.set_diffuse_texture("wood.png");
    material.set_bump_texture("bump.png");
    material.set_blend_color(false);
    material.set_opacity_texture("alpha.png");
    material.define(scene.oo());
    material.emit(scene.oo());
    EXPECT_EQ(scene.body(), "\n"
                            "#define material \"mat\" {\n"
                            " #define shader 1 texture2_rgb {\n"
                            "  \"uv_projection\" 4,\n"
                            "  \"texture\" \"wood.png\",\n"
                            "  \"uv_scale_u\" 1,\n"
                            "  \"uv_scale_v\" 1,\n"
                            "  \"blend_color\" off,\n"
                            "  \"default_color\" 1 0.5 0.25,\n"
                            " }\n"
                            " #define shader 2 vtl_diffuse {\n"
                            "  \"diffuse\" ! 1,\n"
                            "  \"diffuse\" 1 0.5 0.25,\n"
                            " }\n"
                            " #define shader 3 texture2_rgb {\n"
                            "  \"texture\" \"bump.png\",\n"
                            "  \"uv_projection\" 4,\n"
                            "  \"bump_height\" 0.1,\n"
                            "  \"uv_scale_u\" 1,\n"
                            "  \"uv_scale_v\" 1,\n"
                            "  \"bump_mode\" 0,\n"
                            " }\n"
                            " #define shader 4 vtl_bumpmap {\n"
                            "\"bumpmap\" 3,\n"
                            "\"shader\" 2,\n"
                            " }\n"
                            " #define shader 5 texture2_rgba {\n"
                            "  \"uv_projection\" 4,\n"
                            "  \"texture\" \"alpha.png\",\n"
                            "  \"uv_scale_u\" 1,\n"
                            "  \"uv_scale_v\" 1,\n"
                            " }\n"
                            " #define shader 6 vtl_advanced {\n"
                            "  \"diffuse\" ! 5,\n"
                            "  \"alpha\" 1,\n"
                            "  \"opacity_mode\" 2,\n"
                            "  \"use_diffuse_map_alpha\" on,\n"
                            " }\n"
                            " #define shader 7 vtl_composite {\n"
                            "  \"shaders\" [\n"
                            "   6, 4 ],\n"
                            "  \"opacity_map\" on,\n"
                            " }\n"
                            " surface 7\n"
                            " flags 4096\n"
                            "}\n"
                            "material \"mat\"\n");
}

TEST(SceneFile, AnAnimationWithMismatchedCountsInsideAGroup) {
    SceneCapture scene;
    vtlMatrix identity{};
    for (int i = 0; i < 4; ++i)
        identity.m[i][i] = 1;
    vtl::FBXAnimation animation("walk", 0, 2.5f, false);
    animation.add_timestamp(0);
    animation.add_timestamp(10);
    animation.add_matrix(identity);
    scene.oo().begin_group("rig");
    scene.oo().add(animation);
    scene.oo().end_group();
    EXPECT_EQ(scene.body(),
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
              "}\n");
}

} // namespace
