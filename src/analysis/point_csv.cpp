#include "analysis/point_csv.h"

#include "core/io_utils.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <system_error>

namespace vel {

void appendDefaultDouble(std::string& out, double value) {
    // A double stream's default is the %g conversion with precision 6, which is
    // what the general format of to_chars produces, infinities and NaNs too.
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
    if (result.ec == std::errc()) {
        out.append(text, result.ptr);
    }
}

void appendPointLines(std::string& out, const PointList& points) {
    // "-1.23457e-100,-1.23457e-100\n" is the longest line: 28 characters.
    out.reserve(out.size() + points.size() * 28);
    for (const Point& point : points) {
        appendDefaultDouble(out, point.first);
        out.push_back(',');
        appendDefaultDouble(out, point.second);
        out.push_back('\n');
    }
}

bool appendPointsToCsvFile(const std::string& path, const PointList& points) {
    // Text mode: each line feed becomes the platform's line end.
    std::ofstream file(ksq::CIOUtils::fromUtf8String(path), std::ios::out | std::ios::app);
    if (!file.is_open()) {
        return false;
    }
    if (points.empty()) {
        return true;
    }
    std::string lines;
    appendPointLines(lines, points);
    file.write(lines.data(), static_cast<std::streamsize>(lines.size()));
    file.close();
    return !file.fail();
}

}  // namespace vel
