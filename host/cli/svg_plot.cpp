#include "host/cli/svg_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace cli {

namespace {
std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else if (c == '&') out += "&amp;";
        else if (c == '"') out += "&quot;";
        else out += c;
    }
    return out;
}

std::string Format(const char* pattern, double a, double b = 0.0) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, a, b);
    return text;
}

const char* const kColours[] = {"#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e", "#8c564b"};
} // namespace

std::string RenderSvg(const Plot& plot) {
    constexpr double width = 720, height = 440, left = 70, right = 170, top = 50, bottom = 60;
    constexpr double floorDb = -48.0;
    double xMin = INFINITY, xMax = -INFINITY, yMin = INFINITY, yMax = -INFINITY;
    for (const auto& series : plot.series)
        for (const auto& p : series.points) {
            xMin = std::min(xMin, p.x);
            xMax = std::max(xMax, p.x);
            if (std::isfinite(p.y) && p.y >= floorDb) {
                yMin = std::min(yMin, p.y);
                yMax = std::max(yMax, p.y);
            } else {
                yMin = floorDb;
            }
        }
    if (!(xMax > xMin)) xMin = 0, xMax = 1;
    if (!(yMax >= yMin)) yMin = floorDb, yMax = 0;
    const double yStep = yMax - yMin > 24 ? 6.0 : 3.0;
    yMin = std::floor(yMin / yStep) * yStep;
    yMax = std::max(std::ceil(yMax / yStep) * yStep, yMin + yStep);

    const double plotW = width - left - right, plotH = height - top - bottom;
    auto X = [&](double x) { return left + (x - xMin) / (xMax - xMin) * plotW; };
    auto Y = [&](double y) {
        if (!std::isfinite(y) || y < yMin) y = yMin;
        return top + (yMax - y) / (yMax - yMin) * plotH;
    };

    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Format("%.0f", width) + "\" height=\"" +
                      Format("%.0f", height) + "\" font-family=\"sans-serif\" font-size=\"12\">\n";
    svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    svg += "<text x=\"" + Format("%.0f", width / 2) + "\" y=\"24\" text-anchor=\"middle\" font-size=\"15\">" +
           Escape(plot.title) + "</text>\n";
    for (double y = yMin; y <= yMax + 1e-9; y += yStep) {
        svg += "<line x1=\"" + Format("%.1f", left) + "\" x2=\"" + Format("%.1f", left + plotW) + "\" y1=\"" +
               Format("%.1f", Y(y)) + "\" y2=\"" + Format("%.1f", Y(y)) + "\" stroke=\"#ddd\"/>\n";
        svg += "<text x=\"" + Format("%.1f", left - 6) + "\" y=\"" + Format("%.1f", Y(y) + 4) +
               "\" text-anchor=\"end\">" + Format("%.0f", y) + "</text>\n";
    }
    for (int k = 0; k <= 10; ++k) {
        const double x = xMin + (xMax - xMin) * k / 10.0;
        svg += "<line x1=\"" + Format("%.1f", X(x)) + "\" x2=\"" + Format("%.1f", X(x)) + "\" y1=\"" +
               Format("%.1f", top) + "\" y2=\"" + Format("%.1f", top + plotH) + "\" stroke=\"#eee\"/>\n";
        svg += "<text x=\"" + Format("%.1f", X(x)) + "\" y=\"" + Format("%.1f", top + plotH + 16) +
               "\" text-anchor=\"middle\">" + Format("%.1f", x) + "</text>\n";
    }
    svg += "<rect x=\"" + Format("%.1f", left) + "\" y=\"" + Format("%.1f", top) + "\" width=\"" +
           Format("%.1f", plotW) + "\" height=\"" + Format("%.1f", plotH) + "\" fill=\"none\" stroke=\"#333\"/>\n";
    svg += "<text x=\"" + Format("%.1f", left + plotW / 2) + "\" y=\"" + Format("%.1f", height - 18) +
           "\" text-anchor=\"middle\">" + Escape(plot.xLabel) + "</text>\n";
    svg += "<text transform=\"translate(20," + Format("%.1f", top + plotH / 2) +
           ") rotate(-90)\" text-anchor=\"middle\">" + Escape(plot.yLabel) + "</text>\n";

    for (std::size_t s = 0; s < plot.series.size(); ++s) {
        const char* colour = kColours[s % std::size(kColours)];
        std::string points;
        for (const auto& p : plot.series[s].points) points += Format("%.2f,%.2f ", X(p.x), Y(p.y));
        svg += "<polyline fill=\"none\" stroke-width=\"2\" stroke=\"" + std::string(colour) + "\" points=\"" + points +
               "\"/>\n";
        const double ly = top + 20 + 20 * double(s);
        svg += "<line x1=\"" + Format("%.1f", left + plotW + 14) + "\" x2=\"" + Format("%.1f", left + plotW + 40) +
               "\" y1=\"" + Format("%.1f", ly) + "\" y2=\"" + Format("%.1f", ly) + "\" stroke-width=\"2\" stroke=\"" +
               colour + "\"/>\n";
        svg += "<text x=\"" + Format("%.1f", left + plotW + 46) + "\" y=\"" + Format("%.1f", ly + 4) + "\">" +
               Escape(plot.series[s].name) + "</text>\n";
    }
    if (yMin <= floorDb)
        svg += "<text x=\"" + Format("%.1f", left + plotW + 14) + "\" y=\"" + Format("%.1f", top + plotH) +
               "\" fill=\"#666\">bottom edge: silence</text>\n";
    return svg + "</svg>\n";
}

} // namespace cli
