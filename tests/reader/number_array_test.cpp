// Numbers of text arrays: the short forms of geometry arrays, kept four bytes each, read back
// exactly as strtod reads them, and arrays that turn into doubles part way.

#include "reader/scene_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

using namespace vtl::reader;

namespace {

bool same_bits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// A random number text of a form the writer and hand-written files give.
std::string short_number(std::mt19937_64& random, bool any_form) {
    std::uniform_real_distribution<double> unit(-1, 1), tenth(0.1, 1);
    const double sign = random() % 2 ? -1 : 1;
    char text[64];
    switch (random() % (any_form ? 8 : 5)) {
    case 0:
        std::snprintf(text, sizeof text, "%d", int(random() % 200000000) - 100000000);
        break;
    case 1: // "%g" of a float, exponents from e-07 to e+07 included
        std::snprintf(text, sizeof text, "%g",
                      double(float(sign * tenth(random) * std::pow(10.0, int(random() % 15) - 7))));
        break;
    case 2:
        std::snprintf(text, sizeof text, "%.*f", int(random() % 5), unit(random) * 1000);
        break;
    case 3: {
        static const char* const odd[] = {"-0", "0.0", ".5", "-.25", "5.", "007", "-0.000"};
        return odd[random() % 7];
    }
    case 4:
        std::snprintf(text, sizeof text, "%.6e", sign * tenth(random) * 1e-3);
        break;
    case 5: // from here on, forms that turn the array into doubles
        std::snprintf(text, sizeof text, "%.17g",
                      unit(random) * std::pow(10.0, int(random() % 60) - 30));
        break;
    case 6:
        std::snprintf(text, sizeof text, "%16.16f",
                      unit(random) * std::pow(10.0, int(random() % 40) - 20));
        break;
    default:
        std::snprintf(text, sizeof text, "%lld", (long long)(random() >> 4));
        break;
    }
    return text;
}

// An array parameter of random elements of one to three numbers with every kind of separator,
// and after it a fault on the line that follows it.
struct ArrayText {
    std::string text;
    std::vector<double> numbers;
    std::size_t elements = 0;
    std::size_t lines = 1;
};

ArrayText random_array(std::mt19937_64& random, int count, int wide_from) {
    static const char* const blanks[] = {" ", "\t", "\n", "\r\n", "  \n "};
    static const char* const commas[] = {",", ",\n", " , "};
    ArrayText a;
    a.text = "\"n\" [ ";
    while (int(a.numbers.size()) < count) {
        const int width = 1 + int(random() % 3);
        for (int i = 0; i < width; ++i) {
            const std::string n =
                short_number(random, int(a.numbers.size()) >= wide_from && random() % 50 == 0);
            a.numbers.push_back(std::strtod(n.c_str(), nullptr));
            a.text += n;
            if (i + 1 < width) a.text += blanks[random() % 5];
        }
        ++a.elements;
        a.text += commas[random() % 3];
    }
    a.text += " ] ,\n\"q\" 1.5.5,\n";
    for (char c : a.text)
        a.lines += c == '\n';
    return a;
}

void expect_read_as_strtod(const ArrayText& a, bool stays_short) {
    const ReadResult r = read_scene(a.text);
    ASSERT_FALSE(r.ok);
    // The line count carried through the array places the fault after it.
    EXPECT_EQ(r.error.line, a.lines - 1);
    EXPECT_EQ(r.error.column, 5u);
    const ReadResult before = read_scene(a.text.substr(0, a.text.find("\"q\"")));
    ASSERT_TRUE(before.ok) << before.error.describe();
    const Array& read = before.document.nodes.at(0).values.at(0).array;
    EXPECT_EQ(read.numbers.wide(), !stays_short);
    EXPECT_EQ(read.elements, a.elements);
    ASSERT_EQ(read.numbers.size(), a.numbers.size());
    for (std::size_t i = 0; i < a.numbers.size(); ++i)
        ASSERT_TRUE(same_bits(read.numbers[i], a.numbers[i]))
            << i << ": " << read.numbers[i] << " " << a.numbers[i];
}

TEST(NumberArrayTest, ShortFormsReadAsStrtodReadsThem) {
    std::mt19937_64 random(7);
    for (int round = 0; round < 20; ++round)
        expect_read_as_strtod(random_array(random, 3000, 1 << 30), true);
}

TEST(NumberArrayTest, ArrayTurnedIntoDoublesPartWayKeepsEveryValue) {
    std::mt19937_64 random(11);
    for (int round = 0; round < 20; ++round) {
        ArrayText a = random_array(random, 3000, 1500);
        // Makes sure the second half holds a long form whatever the draw gave.
        const std::string tail = "1e300 0.000000000000000000000000000001e-200 "
                                 "123456789012345678901234567890 ] ,\n\"q\" 1.5.5,\n";
        a.text.replace(a.text.rfind(" ] ,"), std::string::npos, " " + tail);
        a.numbers.insert(a.numbers.end(), {1e300, 1e-230, 123456789012345678901234567890.0});
        ++a.elements;
        expect_read_as_strtod(a, false);
    }
}

TEST(NumberArrayTest, NumbersBehaveAsAVectorOfDoubles) {
    const ReadResult r = read_scene("\"n\" [ 1 -0 2.5, 7 8 9 ] ,\n\"m\" [ 1e300 3 ] ,\n");
    ASSERT_TRUE(r.ok) << r.error.describe();
    const Numbers& n = r.document.nodes.at(0).values.at(0).array.numbers;
    const Numbers& m = r.document.nodes.at(1).values.at(0).array.numbers;
    EXPECT_EQ(n, (std::vector<double>{1, -0.0, 2.5, 7, 8, 9}));
    EXPECT_TRUE(std::signbit(n.at(1)));
    EXPECT_THROW(n.at(6), std::out_of_range);
    EXPECT_EQ(std::vector<double>(n.begin(), n.end()), std::vector<double>(n));
    EXPECT_EQ(m.front(), 1e300);
    EXPECT_EQ(m.back(), 3);
    EXPECT_NE(n, m);
    const Array copy = r.document.nodes.at(0).values.at(0).array;
    EXPECT_EQ(copy.numbers, n);
    EXPECT_EQ(copy.width, 3u);
}

} // namespace
