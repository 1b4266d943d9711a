// A line chart as an SVG document: a few named series over one x range.
#pragma once

#include <string>
#include <vector>

namespace cli {

struct Plot {
    struct Point {
        double x, y; // y may be -inf: drawn on the bottom edge
    };
    struct Series {
        std::string name;
        std::vector<Point> points;
    };
    std::string title, xLabel, yLabel;
    std::vector<Series> series;
};

std::string RenderSvg(const Plot& plot);

} // namespace cli
