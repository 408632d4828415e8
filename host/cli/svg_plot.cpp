#include "svg_plot.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace host {
namespace {

constexpr double kWidth = 1000, kHeight = 560;
constexpr double kLeft = 80, kRight = 130, kTop = 48, kBottom = 56;
constexpr double kPlotWidth = kWidth - kLeft - kRight;
constexpr double kPlotHeight = kHeight - kTop - kBottom;
constexpr const char* kColours[] = {
    "#1f77b4", "#d62728", "#2ca02c", "#ff7f0e", "#9467bd", "#8c564b", "#e377c2", "#17becf",
    "#7f7f7f", "#bcbd22", "#393b79", "#637939", "#8c6d31", "#843c39", "#7b4173", "#3182bd"};

// A tick step of 1, 2 or 5 times a power of ten giving about `ticks` ticks.
double NiceStep(double span, int ticks) {
  double raw = span / ticks;
  double power = std::pow(10.0, std::floor(std::log10(raw)));
  double scaled = raw / power;
  double nice = scaled < 1.5 ? 1 : scaled < 3.5 ? 2 : scaled < 7.5 ? 5 : 10;
  return nice * power;
}

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

struct Axes {
  double t0, t1, v0, v1;
  double X(double t) const { return kLeft + (t - t0) / (t1 - t0) * kPlotWidth; }
  double Y(double v) const { return kTop + (v1 - v) / (v1 - v0) * kPlotHeight; }
};

double TimeOf(const PlotColumns& plot, int64_t scan) {
  double scanRate = plot.run().ScanRate();
  return scanRate > 0 ? static_cast<double>(scan) / scanRate : 0.0;
}

Axes ChooseAxes(const PlotColumns& plot) {
  Axes axes{0, 1, -1, 1};
  if (plot.scans() >= 2) axes.t1 = TimeOf(plot, plot.scans() - 1);
  if (axes.t1 <= axes.t0) axes.t1 = axes.t0 + 1;
  int16_t low = 0, high = 0;
  if (!plot.Extremes(&low, &high)) return axes;
  double lo = plot.run().Volts(low), hi = plot.run().Volts(high);
  double pad = (hi - lo) * 0.05;
  if (pad < 0.05) pad = 0.05;
  axes.v0 = lo - pad;
  axes.v1 = hi + pad;
  return axes;
}

// One channel's trace: every scan of a short run; of a longer one each
// stretch's lowest and highest value (PlotColumns), so peaks stay visible.
void WriteTrace(std::FILE* f, const PlotColumns& plot, size_t position, const Axes& axes,
                const char* colour) {
  std::fprintf(f, "<polyline fill=\"none\" stroke=\"%s\" stroke-width=\"1.3\" points=\"", colour);
  for (const PlotColumns::Point& p : plot.Trace(position)) {
    std::fprintf(f, "%.1f,%.1f ", axes.X(TimeOf(plot, p.scan)), axes.Y(plot.run().Volts(p.code)));
  }
  std::fputs("\"/>\n", f);
}

void WriteFrame(std::FILE* f, const Axes& axes, const std::string& title) {
  std::fprintf(f, "<rect width=\"%g\" height=\"%g\" fill=\"white\"/>\n", kWidth, kHeight);
  std::fprintf(f, "<text x=\"%g\" y=\"28\" font-size=\"17\" text-anchor=\"middle\">%s</text>\n",
               kLeft + kPlotWidth / 2, Escape(title).c_str());
  double tStep = NiceStep(axes.t1 - axes.t0, 8);
  for (double t = std::ceil(axes.t0 / tStep) * tStep; t <= axes.t1 + tStep * 1e-9; t += tStep) {
    double x = axes.X(t);
    std::fprintf(f, "<line x1=\"%.1f\" y1=\"%g\" x2=\"%.1f\" y2=\"%g\" stroke=\"#e4e4e4\"/>\n", x,
                 kTop, x, kTop + kPlotHeight);
    std::fprintf(f, "<text x=\"%.1f\" y=\"%g\" font-size=\"12\" text-anchor=\"middle\">%g</text>\n",
                 x, kTop + kPlotHeight + 18, std::fabs(t) < tStep * 1e-6 ? 0.0 : t);
  }
  double vStep = NiceStep(axes.v1 - axes.v0, 6);
  for (double v = std::ceil(axes.v0 / vStep) * vStep; v <= axes.v1 + vStep * 1e-9; v += vStep) {
    double y = axes.Y(v);
    std::fprintf(f, "<line x1=\"%g\" y1=\"%.1f\" x2=\"%g\" y2=\"%.1f\" stroke=\"#e4e4e4\"/>\n",
                 kLeft, y, kLeft + kPlotWidth, y);
    std::fprintf(f, "<text x=\"%g\" y=\"%.1f\" font-size=\"12\" text-anchor=\"end\">%g</text>\n",
                 kLeft - 8, y + 4, std::fabs(v) < vStep * 1e-6 ? 0.0 : v);
  }
  std::fprintf(
      f, "<rect x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\" fill=\"none\" stroke=\"#333\"/>\n",
      kLeft, kTop, kPlotWidth, kPlotHeight);
  std::fprintf(f,
               "<text x=\"%g\" y=\"%g\" font-size=\"13\" text-anchor=\"middle\">time (s)</text>\n",
               kLeft + kPlotWidth / 2, kHeight - 14);
  std::fprintf(f,
               "<text x=\"18\" y=\"%g\" font-size=\"13\" text-anchor=\"middle\" "
               "transform=\"rotate(-90 18 %g)\">input (V)</text>\n",
               kTop + kPlotHeight / 2, kTop + kPlotHeight / 2);
}

}  // namespace

size_t PlotColumnCount() { return static_cast<size_t>(kPlotWidth); }

bool WriteSvgPlot(const std::string& path, const PlotColumns& plot, const std::string& title,
                  std::string* error) {
  std::FILE* f = std::fopen(path.c_str(), "w");
  if (f == nullptr) {
    *error = std::strerror(errno);
    return false;
  }
  Axes axes = ChooseAxes(plot);
  std::fprintf(f,
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%g\" height=\"%g\" "
               "viewBox=\"0 0 %g %g\" font-family=\"sans-serif\">\n",
               kWidth, kHeight, kWidth, kHeight);
  WriteFrame(f, axes, title);
  std::fprintf(
      f, "<clipPath id=\"plot\"><rect x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\"/></clipPath>\n",
      kLeft, kTop, kPlotWidth, kPlotHeight);
  std::fputs("<g clip-path=\"url(#plot)\">\n", f);
  size_t palette = sizeof kColours / sizeof kColours[0];
  const std::vector<int>& channels = plot.run().channels;
  for (size_t p = 0; p < channels.size(); ++p) {
    WriteTrace(f, plot, p, axes, kColours[p % palette]);
  }
  std::fputs("</g>\n", f);
  for (size_t p = 0; p < channels.size(); ++p) {
    double y = kTop + 12 + 20 * static_cast<double>(p);
    double x = kLeft + kPlotWidth + 16;
    std::fprintf(f,
                 "<line x1=\"%g\" y1=\"%g\" x2=\"%g\" y2=\"%g\" stroke=\"%s\" stroke-width=\"3\"/>"
                 "<text x=\"%g\" y=\"%g\" font-size=\"13\">channel %d</text>\n",
                 x, y, x + 22, y, kColours[p % palette], x + 28, y + 4, channels[p]);
  }
  std::fputs("</svg>\n", f);
  bool ok = std::ferror(f) == 0;
  if (std::fclose(f) != 0) ok = false;
  if (!ok) *error = "write error";
  return ok;
}

}  // namespace host
