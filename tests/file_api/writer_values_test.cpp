// Parameter values of the Scene file writer: every type code, whole arrays in text and binary
// form, and arrays built element by element.

#include "support/scene_memory.h"

#include <cfloat>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

template <typename T> vtlArray array_of(const std::vector<T>& v, uint32_t count) {
    return vtlArray{v.data(), count};
}

// One shader-form parameter line at the top level.
std::string param(const char* name, int type, const void* value, bool binary = false) {
    return write_scene([&](vtlScene_api_file& w) { w.set_parameter(name, type, value); }, binary);
}

TEST(WriterValues, FloatsFollowTheNonFiniteRule) {
    float values[] = {kNaN, kInf, -kInf, FLT_MAX, -FLT_MAX, 1e38f, -0.0f, 1e-5f, 9.9999995f};
    const char* expected[] = {"-1", "-1", "-1", "-1", "-1", "1e+38", "-0", "1e-05", "10"};
    for (size_t i = 0; i < sizeof values / sizeof values[0]; ++i)
        EXPECT_EQ(param("f", 3, &values[i]), std::string("\"f\" ") + expected[i] + ",\n") << i;
}

TEST(WriterValues, EveryScalarAndTupleTypeCode) {
    vtlColor colour{0.5f, 1, 0.25f};
    float four[] = {1, 2, 3, 4.5f};
    double half = 0.5, big = 1e20;
    vtlVector v{1, 2.5, 1e-7};
    int minus = -7, zero = 0, two = 2;
    int ints[] = {1, -2, 3, 4};
    vtlMatrix m{};
    for (int k = 0; k < 16; ++k)
        m.data()[k] = k;
    m.m[0][1] = 1e-46; // rounded to float, it prints as 0
    const char* text = "tex";
    const char* quoted = "a\"b";

    EXPECT_EQ(param("c", 1, &colour), "\"c\" 0.5 1 0.25,\n");
    EXPECT_EQ(param("q", 2, four), "\"q\" 1 2 3 4.5,\n");
    EXPECT_EQ(param("q", 15, four), "\"q\" 1 2 3 4.5,\n");
    EXPECT_EQ(param("p", 14, four), "\"p\" 1 2,\n");
    EXPECT_EQ(param("d", 4, &half), "\"d\" 0.5000000000000000,\n");
    EXPECT_EQ(param("d", 4, &big), "\"d\" 100000000000000000000.0000000000000000,\n");
    EXPECT_EQ(param("v", 5, &v), "\"v\" 1 2.5 1e-07,\n");
    EXPECT_EQ(param("i", 6, &minus), "\"i\" -7,\n");
    EXPECT_EQ(param("b", 7, &zero), "\"b\" off,\n");
    EXPECT_EQ(param("b", 7, &two), "\"b\" on,\n");
    EXPECT_EQ(param("m", 9, &m), "\"m\" 0 0 2 3 4 5 6 7 8 9 10 11 12 13 14 15,\n");
    EXPECT_EQ(param("s", 10, "tex"), "\"s\" \"tex\",\n");
    EXPECT_EQ(param("s", 13, &text), "\"s\" \"tex\",\n");
    EXPECT_EQ(param("s", 13, &quoted), "\"s\" xX612262,\n");
    EXPECT_EQ(param("i2", 16, ints), "\"i2\" 1 -2,\n");
    EXPECT_EQ(param("i3", 17, ints), "\"i3\" 1 -2 3,\n");
    EXPECT_EQ(param("i4", 18, ints), "\"i4\" 1 -2 3 4,\n");
    EXPECT_EQ(param("id", 23, &two), "\"id\" 2,\n");
    for (int silent : {8, 11, 12, 19, 20, 21, 22, 0x2000, 0x4000, 99})
        EXPECT_EQ(param("x", silent, ints), "\"x\" ,\n") << silent;
}

TEST(WriterValues, BlockFormHasAnUnquotedNameAndNoComma) {
    std::string text = write_scene([](vtlScene_api_file& w) {
        float f = 2;
        std::vector<int> ints{1, 2, 3};
        vtlArray a{ints.data(), 3};
        w.begin_options();
        w.set_parameter("gamma", 3, &f);
        w.set_parameter("list", 0x8006, &a);
        w.end_options();
    });
    EXPECT_EQ(text, "\noptions {\n gamma 2\n list [ 1,2,3 ] \n}\n");
}

TEST(WriterArrays, WholeTextArraysBreakLinesEveryEightElements) {
    std::vector<float> ten{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    std::string text = write_scene([&](vtlScene_api_file& w) {
        vtlArray nine{ten.data(), 9}, all{ten.data(), 10}, none{ten.data(), 0};
        w.set_parameter("nine", 0x8003, &nine);
        w.begin_geometry("g");
        w.set_parameter("ten", 0x8003, &all);
        w.set_parameter("empty", 0x8003, &none);
        w.end_geometry();
    });
    EXPECT_EQ(text, "\"nine\" [ 0,1,2,3,4,5,6,7,8 \n] ,\n"
                    "geometry \"g\" {\n"
                    " \"ten\" [ 0,1,2,3,4,5,6,7,8,\n 9 ] ,\n"
                    " \"empty\" [ ] ,\n"
                    "}\n");
}

TEST(WriterArrays, WholeTextArraysOfEveryElementType) {
    std::vector<float> odd{kNaN, kInf, FLT_MAX, 1e38f, 0.1f};
    std::vector<double> doubles{0.5, std::numeric_limits<double>::infinity(), 3.5e38, -2};
    std::vector<float> colours{1, 0, 0, 0, 1, 0};
    std::vector<float> quads{1, 2, 3, 4};
    std::vector<vtlVector> vectors{{1, 2, 3}, {-1, 0.5, 1e10}};
    std::vector<int> bools{1, 0, 5};
    std::vector<int> ids{7, -8};

    auto arr = [](int t, const void* data, uint32_t n) {
        vtlArray a{data, n};
        return param("a", 0x8000 + t, &a);
    };
    EXPECT_EQ(arr(3, odd.data(), 5), "\"a\" [ -1,-1,-1,1e+38,0.1 ] ,\n");
    EXPECT_EQ(arr(4, doubles.data(), 4),
              "\"a\" [ 0.5000000000000000,-1.0000000000000000,-1.0000000000000000,"
              "-2.0000000000000000 ] ,\n");
    EXPECT_EQ(arr(1, colours.data(), 2), "\"a\" [ 1 0 0,0 1 0 ] ,\n");
    EXPECT_EQ(arr(2, quads.data(), 1), "\"a\" [ 1 2 3 4 ] ,\n");
    EXPECT_EQ(arr(5, vectors.data(), 2), "\"a\" [ 1 2 3,-1 0.5 1e+10 ] ,\n");
    EXPECT_EQ(arr(7, bools.data(), 3), "\"a\" [ 1,0,1 ] ,\n");
    EXPECT_EQ(arr(23, ids.data(), 2), "\"a\" [ 7,-8 ] ,\n");
    EXPECT_EQ(arr(14, quads.data(), 2), "\"a\" [ ] ,\n"); // no elements for other types
}

TEST(WriterArrays, MatrixArraysHoldOneUnroundedMatrixPerLine) {
    std::vector<vtlMatrix> ms(2);
    for (int k = 0; k < 16; ++k) {
        ms[0].data()[k] = k;
        ms[1].data()[k] = -k;
    }
    ms[0].m[0][1] = 1e-46; // not rounded to float in matrix arrays
    std::string text = write_scene([&](vtlScene_api_file& w) {
        vtlArray a{ms.data(), 2};
        w.begin_geometry("g");
        w.set_parameter("frames", 0x8009, &a);
        w.end_geometry();
    });
    EXPECT_EQ(text, "geometry \"g\" {\n"
                    " \"frames\" [  0 1e-46 2 3 4 5 6 7 8 9 10 11 12 13 14 15 ,\n"
                    " 0 -1 -2 -3 -4 -5 -6 -7 -8 -9 -10 -11 -12 -13 -14 -15 \n"
                    "] ,\n"
                    "}\n");
}

TEST(WriterArrays, StringArraysEndEveryElementWithALineFeed) {
    std::vector<std::string> names;
    for (int i = 0; i < 10; ++i)
        names.push_back("s" + std::to_string(i));
    names[3] = "x\ny";
    std::vector<const char*> ptrs;
    for (auto& n : names)
        ptrs.push_back(n.c_str());
    std::string text = write_scene([&](vtlScene_api_file& w) {
        vtlArray a{ptrs.data(), 10};
        w.begin_geometry("g");
        w.set_parameter("names", 0x800d, &a);
        w.end_geometry();
    });
    EXPECT_EQ(text, "geometry \"g\" {\n"
                    " \"names\" [ \"s0\",\n\"s1\",\n\"s2\",\nxX780a79,\n\"s4\",\n\"s5\",\n"
                    "\"s6\",\n\"s7\",\n\"s8\", \n\"s9\" \n] ,\n"
                    "}\n");
}

TEST(WriterArrays, BinaryArrayBlocksCarryMarkerCountAndRawValues) {
    std::vector<float> colours{1, 0, 0, 0, 1, 0.5f};
    std::vector<float> floats{1.5f, -2};
    std::vector<double> doubles{0.25, 1e300};
    std::vector<int> ints{1, -1, 1 << 30};
    std::vector<vtlVector> vectors{{1, 2, 3}};
    auto arr = [](int t, const void* data, uint32_t n) {
        vtlArray a{data, n};
        return param("a", 0x8000 + t, &a, true);
    };
    auto framed = [](const std::string& block) { return "\"a\" [ " + block + "] ,\n"; };

    EXPECT_EQ(arr(3, floats.data(), 0), framed(binary_block('f', 0, nullptr, 0)));
    EXPECT_EQ(arr(1, colours.data(), 2), framed(binary_block('c', 6, colours.data(), 24)));
    EXPECT_EQ(arr(3, floats.data(), 2), framed(binary_block('f', 2, floats.data(), 8)));
    EXPECT_EQ(arr(4, doubles.data(), 2), framed(binary_block('r', 2, doubles.data(), 16)));
    EXPECT_EQ(arr(6, ints.data(), 3), framed(binary_block('i', 3, ints.data(), 12)));
    EXPECT_EQ(arr(23, ints.data(), 1), framed(binary_block('i', 1, ints.data(), 4)));
    EXPECT_EQ(arr(5, vectors.data(), 1), "\"a\" [ 1 2 3 ] ,\n"); // vectors stay text
}

TEST(WriterArrays, ElementByElementTextArrays) {
    std::string text = write_scene([](vtlScene_api_file& w) {
        vtlColor c[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
        w.begin_geometry("g");
        w.begin_array("c");
        for (auto& colour : c)
            w.add_array_element(1, &colour);
        w.end_array();
        w.end_geometry();
        w.begin_array("i");
        for (int i = 0; i < 8; ++i)
            w.add_array_element(6, &i);
        w.end_array();
        const char* name = "n\"m";
        double d = 0.5;
        w.begin_array("mixed");
        w.add_array_element(13, &name);
        w.add_array_element(10, "t");
        w.add_array_element(4, &d);
        int nine = 9;
        w.add_array_element(23, &nine);
        w.end_array();
    });
    EXPECT_EQ(text, "geometry \"g\" {\n"
                    " \"c\" [\n"
                    "  1 0 0, 0 1 0,\n"
                    "  0 0 1 ],\n"
                    "}\n"
                    "\"i\" [\n"
                    " 0, 1, 2, 3, 4, 5,\n"
                    " 6, 7 ],\n"
                    "\"mixed\" [\n"
                    " xX6e226d, \"t\", 0.5000000000000000, 9 ],\n");
}

TEST(WriterArrays, ElementByElementBinaryArrays) {
    std::string text = write_scene(
        [](vtlScene_api_file& w) {
            vtlColor c{1, 0.5f, 0};
            float f = 2.5f;
            int i = -3;
            double d = 0.5;
            w.begin_array("empty");
            w.end_array();
            w.begin_array("mixed");
            w.add_array_element(1, &c);
            w.add_array_element(3, &f);
            w.add_array_element(6, &i); // the block takes the marker of the last element
            w.end_array();
            w.begin_array("text");
            w.add_array_element(4, &d); // only colours, floats and ints are buffered
            w.end_array();
        },
        true);
    const uint32_t words[] = {0x3f800000u, 0x3f000000u, 0u, 0x40200000u, 0xfffffffdu};
    EXPECT_EQ(text, "\"empty\" [\n  ],\n"
                    "\"mixed\" [\n " +
                        binary_block('i', 5, words, sizeof words) +
                        " ],\n"
                        "\"text\" [\n 0.5000000000000000 ],\n");
}

} // namespace
