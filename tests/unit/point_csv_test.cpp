// CSV data lines of the analyses: numbers exactly as a default double stream
// writes them, one "x,y" line per point, appended to the file.

#include "analysis/point_csv.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

namespace {

// A default double stream as glibc's writes it: mingw's drops a NaN's sign,
// which the CSV files keep on every platform.
std::string streamText(double value) {
    if (std::isnan(value)) {
        return std::signbit(value) ? "-nan" : "nan";
    }
    std::ostringstream out;
    out << value;
    return out.str();
}

std::string formatted(double value) {
    std::string out;
    vel::appendDefaultDouble(out, value);
    return out;
}

TEST(DefaultDoubleFormat, WritesTheDocumentedExamples) {
    EXPECT_EQ(formatted(1234.5), "1234.5");
    EXPECT_EQ(formatted(123456), "123456");
    EXPECT_EQ(formatted(1234567), "1.23457e+06");
    EXPECT_EQ(formatted(0.000012), "1.2e-05");
    EXPECT_EQ(formatted(0), "0");
}

TEST(DefaultDoubleFormat, MatchesADoubleStreamEverywhere) {
    const double limits[] = {
        -0.0,
        0.0001,
        0.00009999995,
        999999.5,
        999999.4,
        1e-300,
        1.5e308,
        -2.5,
        0.1 + 0.2,
        std::numeric_limits<double>::denorm_min(),
        std::numeric_limits<double>::max(),
        std::numeric_limits<double>::lowest(),
        std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::quiet_NaN(),
        -std::numeric_limits<double>::quiet_NaN(),
    };
    for (double value : limits) {
        EXPECT_EQ(formatted(value), streamText(value)) << streamText(value);
    }
    // A sweep over magnitudes and mantissas, halves included.
    for (int exponent = -12; exponent <= 12; ++exponent) {
        for (double mantissa : {1.0, 1.23456789, 9.9999995, 5.5555555, 2.0000005, 7.25}) {
            const double value = mantissa * std::pow(10.0, exponent);
            EXPECT_EQ(formatted(value), streamText(value)) << value;
            EXPECT_EQ(formatted(-value), streamText(-value)) << -value;
        }
    }
}

TEST(PointCsvLines, WriteOneLinePerPointWithoutSpaces) {
    std::string out = "head\n";
    vel::appendPointLines(out, {{-100, 0.5}, {1e7, std::nan("")}});
    EXPECT_EQ(out, "head\n-100,0.5\n1e+07,nan\n");
}

TEST(PointCsvFile, AppendsAfterWhatTheFileHolds) {
    veltest::TempDir dir;
    const auto file = veltest::writeTextFile(dir.path() / "a.csv", "x, y\n");
    ASSERT_TRUE(vel::appendPointsToCsvFile(file.string(), {{1, 2}}));
    ASSERT_TRUE(vel::appendPointsToCsvFile(file.string(), {}));
    ASSERT_TRUE(vel::appendPointsToCsvFile(file.string(), {{3, 4.5}}));
    EXPECT_EQ(veltest::readTextFile(file), "x, y\n" + veltest::dataLines("1,2\n3,4.5\n"));
}

TEST(PointCsvFile, FailsWhenTheFileCannotBeOpened) {
    veltest::TempDir dir;
    EXPECT_FALSE(vel::appendPointsToCsvFile(dir.str(), {{1, 2}}));  // a directory
    EXPECT_FALSE(vel::appendPointsToCsvFile((dir.path() / "missing" / "a.csv").string(), {{1, 2}}));
}

}  // namespace
