#include "dev/materials/clamp01.h"
#include "dev/materials/material.h"

#include "oo/recording_api.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

using Calls = std::vector<std::string>;

// A material whose shader is one recognisable line.
class MarkerMaterial : public vtl::Material {
public:
    using Material::Material;
    void write_shader(vtl::vtlSceneapi_oo& oo) override { oo.print("shader of " + get_name()); }
};

TEST(Material, DefinedOnceThenEveryEmitIsAReference) {
    vtl_test::RecordedFront f;
    MarkerMaterial material("red");
    EXPECT_FALSE(material.is_instance());
    material.define(f.oo);
    EXPECT_TRUE(material.is_instance());
    material.emit(f.oo);
    material.emit(f.oo);
    EXPECT_EQ(f.api.calls, (Calls{"begin_material \"red\" 0", "print \"shader of red\"",
                                  "end_material", "use_material \"red\"", "use_material \"red\""}));
}

TEST(Material, NeverDefinedItIsWrittenInlineAtEveryEmit) {
    vtl_test::RecordedFront f;
    MarkerMaterial material("blue");
    material.emit(f.oo);
    material.emit(f.oo);
    EXPECT_FALSE(material.is_instance());
    EXPECT_EQ(f.api.calls,
              (Calls{"begin_material \"blue\" 1", "print \"shader of blue\"", "end_material",
                     "begin_material \"blue\" 1", "print \"shader of blue\"", "end_material"}));
}

TEST(Material, NameShaderNameAndMatrixAreKept) {
    MarkerMaterial material("a");
    EXPECT_EQ(material.get_shader_name(), "");
    const vtlMatrix& identity = material.get_matrix();
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(identity.data()[k], k % 5 == 0 ? 1.0 : 0.0) << k;
    vtlMatrix m{};
    m.m[3][0] = 7;
    material.set_matrix(m);
    material.set_name("b");
    material.set_shader_name("vtl_metal");
    EXPECT_EQ(material.get_matrix().m[3][0], 7.0);
    EXPECT_EQ(material.get_name(), "b");
    EXPECT_EQ(material.get_shader_name(), "vtl_metal");
}

TEST(Material, WithoutABackEndNothingIsWrittenAndItStaysUndefined) {
    vtl::PassThroughFactory factory(nullptr);
    vtl::vtlSceneapi_oo oo(&factory);
    MarkerMaterial material("m");
    material.define(oo);
    material.emit(oo);
    EXPECT_FALSE(material.is_instance());
}

TEST(Clamp01, ClampsToTheUnitRangeAndPassesNaN) {
    EXPECT_EQ(vtl::clamp01(-0.5f), 0.0f);
    EXPECT_EQ(vtl::clamp01(2.0f), 1.0f);
    EXPECT_EQ(vtl::clamp01(0.25f), 0.25f);
    EXPECT_EQ(vtl::clamp01(0.0f), 0.0f);
    EXPECT_EQ(vtl::clamp01(1.0f), 1.0f);
    EXPECT_EQ(vtl::clamp01(-std::numeric_limits<float>::infinity()), 0.0f);
    EXPECT_TRUE(std::isnan(vtl::clamp01(std::numeric_limits<float>::quiet_NaN())));
}

} // namespace
