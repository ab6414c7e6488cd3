#pragma once
// Data lines of the analysis CSV files: "x,y" per point, each number in the
// default format of a double stream (general format, 6 significant digits:
// 1234.5, 123456, 1.23457e+06, 1.2e-05, nan, inf, -inf).

#include "analysis/point_list.h"

#include <string>

namespace vel {

// Appends the default-format text of one double.
void appendDefaultDouble(std::string& out, double value);

// Appends one "x,y\n" line per point.
void appendPointLines(std::string& out, const PointList& points);

// Appends the points' lines to the file at a UTF-8 path; false when the file
// cannot be opened or written. An empty list leaves the file as it was.
bool appendPointsToCsvFile(const std::string& path, const PointList& points);

}  // namespace vel
