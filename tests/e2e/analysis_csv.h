#pragma once
// What the analysis scenarios read back: the CSV files the library writes
// (a header line, then "x,y" rows) and the point arrays it returns.

#include <veltranoapi/veltranoapi.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace veltest {

using Points = std::vector<std::pair<double, double>>;

struct CsvFile {
    std::string header;
    Points rows;
};

inline CsvFile readCsv(const std::filesystem::path& file) {
    CsvFile csv;
    std::ifstream in(file);
    std::getline(in, csv.header);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream row(line);
        double x = 0;
        double y = 0;
        char comma = 0;
        row >> x >> comma >> y;
        EXPECT_TRUE(row && comma == ',') << file << ": " << line;
        csv.rows.emplace_back(x, y);
    }
    return csv;
}

inline std::string readHeader(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string header;
    std::getline(in, header);
    return header;
}

// Lines below the header; cheaper than readCsv for a file that is growing.
inline std::size_t countRows(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string line;
    std::size_t lines = 0;
    while (std::getline(in, line)) {
        ++lines;
    }
    return lines == 0 ? 0 : lines - 1;
}

// Waits until the file holds at least minRows data rows; false after limit.
inline bool waitForRows(const std::filesystem::path& file, std::size_t minRows, std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (countRows(file) >= minRows) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

// Copies count (x, y) pairs out of a fetched array and releases it. count is
// taken by reference so that takePoints(ci_fetch_...(handle, &count), count)
// reads the count the fetch stored, whatever the order the arguments are
// evaluated in.
template <class T>
Points takePoints(T* pairs, const int& count) {
    Points points;
    for (int i = 0; i < count; ++i) {
        points.emplace_back(static_cast<double>(pairs[2 * i]), static_cast<double>(pairs[2 * i + 1]));
    }
    ci_free_int64_data(pairs);
    return points;
}

inline std::pair<double, double> peakOf(const Points& points) {
    std::pair<double, double> peak{0, -1e300};
    for (const auto& point : points) {
        if (point.second > peak.second) {
            peak = point;
        }
    }
    return peak;
}

inline double sumOfY(const Points& points) {
    double sum = 0;
    for (const auto& point : points) {
        sum += point.second;
    }
    return sum;
}

// The y-weighted mean of x (the mean of a histogram given as bin, count).
inline double weightedMeanOfX(const Points& points) {
    double weighted = 0;
    for (const auto& point : points) {
        weighted += point.first * point.second;
    }
    return weighted / sumOfY(points);
}

}  // namespace veltest
