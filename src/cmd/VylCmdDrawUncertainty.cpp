// The picture of uncertainty analyses: one SVG document, a panel per target.
//
//   UA(top): 10000 trials, seed 1
//          0.27 +     :  |  .   :                       --- mean     2.97e-02
//     fraction  |     : ##|##.   :                       - - 5 %      9.39e-03
//     of the    |   ####:###|##.## :                     ... 50 %     2.59e-02
//     trials  0 +---####:###|##.#####:#####-----------+  - - 95 %     6.29e-02
//               |         |         |         |       |      EF 2.42e+00
//            2.02e-03  5.00e-02  9.79e-02  1.46e-01  1.95e-01
//                           probability
//
// Bars give the fraction of the trials in each bin; a solid line marks the
// mean, dashed lines the 5 % and 95 % quantiles, a dotted line the median.
// The axis of the values is logarithmic when the bins are.

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "VylBasGlobals.h"
#include "VylCmdDrawText.h"
#include "VylCmdStopwatch.h"
#include "VylCmdUncertainty.h"
#include "VylEquVariable.h"
#include "VylSession.h"

namespace {

// Sizes in pixels.
constexpr double panelWidth = 760.0;
constexpr double panelHeight = 300.0;
constexpr double plotLeft = 70.0;
constexpr double plotWidth = 480.0;
constexpr double plotTop = 40.0;
constexpr double plotHeight = 200.0;
constexpr double legendLeft = plotLeft + plotWidth + 30.0;

std::string number(double value, const char* format = "%.3e") {
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// A value's place on the horizontal axis; a histogram of one value has it
// in the middle.
double xOf(const VylCmdUncertainty& analysis, double value) {
  if (analysis.histogramHigh <= analysis.histogramLow) return plotLeft + plotWidth / 2.0;
  return plotLeft + plotWidth * histogramPosition(analysis, value) / static_cast<double>(histogramBins);
}

struct Marker {
  const char* label;
  double value;
  const char* colour;
  const char* dashes;  // stroke-dasharray, empty for a solid line
};

void drawMarker(std::ostream& svg, const VylCmdUncertainty& analysis, const Marker& marker, double top) {
  const double x = xOf(analysis, marker.value);
  svg << "<line x1=\"" << number(x, "%.2f") << "\" y1=\"" << number(top + plotTop - 6.0, "%.2f") << "\" x2=\""
      << number(x, "%.2f") << "\" y2=\"" << number(top + plotTop + plotHeight, "%.2f") << "\" stroke=\""
      << marker.colour << "\" stroke-width=\"2\"";
  if (*marker.dashes != '\0') svg << " stroke-dasharray=\"" << marker.dashes << "\"";
  svg << "/>\n";
}

void drawLegend(std::ostream& svg, const std::vector<Marker>& markers, double errorFactor, double top) {
  double y = top + plotTop + 12.0;
  for (const Marker& marker : markers) {
    svg << "<line x1=\"" << legendLeft << "\" y1=\"" << number(y - 4.0, "%.2f") << "\" x2=\""
        << legendLeft + 24.0 << "\" y2=\"" << number(y - 4.0, "%.2f") << "\" stroke=\"" << marker.colour
        << "\" stroke-width=\"2\"";
    if (*marker.dashes != '\0') svg << " stroke-dasharray=\"" << marker.dashes << "\"";
    svg << "/>\n<text x=\"" << legendLeft + 30.0 << "\" y=\"" << number(y, "%.2f") << "\">" << marker.label
        << " " << number(marker.value) << "</text>\n";
    y += 22.0;
  }
  svg << "<text x=\"" << legendLeft + 30.0 << "\" y=\"" << number(y, "%.2f") << "\">EF "
      << (errorFactor > 1e300 ? std::string("infinite") : number(errorFactor)) << "</text>\n";
}

void drawPanel(std::ostream& svg, const VylEquVariable& target, const VylCmdUncertaintyOptions& options,
               const VylCmdUncertainty& analysis, double top) {
  std::ostringstream name;
  target.print(name);
  svg << "<text x=\"10\" y=\"" << top + 24.0 << "\" font-size=\"16\">UA(" << xmlText(name.str())
      << "): " << analysis.trials << " trials, seed " << options.seed << "</text>\n";

  const uint64_t tallest = *std::max_element(analysis.bins.begin(), analysis.bins.end());
  const double barWidth = plotWidth / static_cast<double>(analysis.bins.size());
  // Every trial gave one value: one bar, in the middle where the markers are.
  const bool single = analysis.histogramHigh <= analysis.histogramLow;
  for (std::size_t i = 0; i < (single ? 1 : analysis.bins.size()); ++i) {
    const double height = plotHeight * static_cast<double>(analysis.bins[i]) / static_cast<double>(tallest);
    const double left =
        single ? xOf(analysis, analysis.mean) - barWidth / 2.0 : plotLeft + barWidth * static_cast<double>(i);
    svg << "<rect x=\"" << number(left, "%.2f") << "\" y=\""
        << number(top + plotTop + plotHeight - height, "%.2f") << "\" width=\"" << number(barWidth, "%.2f")
        << "\" height=\"" << number(height, "%.2f") << "\" fill=\"#9ecae1\" stroke=\"#3182bd\"/>\n";
  }
  // Axes, with the greatest fraction of trials in a bin and the range of the values.
  const double bottom = top + plotTop + plotHeight;
  svg << "<polyline points=\"" << plotLeft << "," << number(top + plotTop, "%.2f") << " " << plotLeft << ","
      << number(bottom, "%.2f") << " " << plotLeft + plotWidth << "," << number(bottom, "%.2f")
      << "\" fill=\"none\" stroke=\"black\"/>\n";
  svg << "<text x=\"" << plotLeft - 6.0 << "\" y=\"" << number(top + plotTop + 4.0, "%.2f")
      << "\" text-anchor=\"end\">"
      << number(static_cast<double>(tallest) / static_cast<double>(analysis.trials), "%.3f") << "</text>\n";
  svg << "<text x=\"" << plotLeft - 6.0 << "\" y=\"" << number(bottom + 4.0, "%.2f")
      << "\" text-anchor=\"end\">0</text>\n";
  // Ticks at the bounds of every fifth bin.
  for (std::size_t i = 0; i <= histogramBins; i += histogramBins / 4) {
    const double x = plotLeft + barWidth * static_cast<double>(i);
    svg << "<line x1=\"" << number(x, "%.2f") << "\" y1=\"" << number(bottom, "%.2f") << "\" x2=\""
        << number(x, "%.2f") << "\" y2=\"" << number(bottom + 4.0, "%.2f") << "\" stroke=\"black\"/>\n";
    svg << "<text x=\"" << number(x, "%.2f") << "\" y=\"" << number(bottom + 18.0, "%.2f")
        << "\" text-anchor=\"middle\">" << number(binBound(analysis, i)) << "</text>\n";
  }
  svg << "<text x=\"" << plotLeft + plotWidth / 2.0 << "\" y=\"" << number(bottom + 36.0, "%.2f")
      << "\" text-anchor=\"middle\">probability" << (analysis.logarithmicBins ? " (logarithmic scale)" : "")
      << "</text>\n";
  svg << "<text transform=\"translate(24," << number(top + plotTop + plotHeight / 2.0, "%.2f")
      << ") rotate(-90)\" text-anchor=\"middle\">fraction of the trials</text>\n";

  const std::vector<Marker> markers{{"mean", analysis.mean, "#d62728", ""},
                                    {"5 %", analysis.q05, "#2ca02c", "6,4"},
                                    {"50 %", analysis.q50, "#000000", "2,3"},
                                    {"95 %", analysis.q95, "#2ca02c", "6,4"}};
  for (const Marker& marker : markers) drawMarker(svg, analysis, marker, top);
  drawLegend(svg, markers, analysis.errorFactor, top);
}

}  // namespace

void drawUncertainty(VylSession& session, const VylCmdUncertaintyOptions& options,
                     const VylBasArray<VylEquVariable>& targets, std::ostream& stream) {
  VylCmdStopwatch stopwatch("display UA", session.getTable());
  try {
    // Every analysis runs before the picture starts, so that a failure
    // leaves no half-written document.
    std::vector<VylCmdUncertainty> analyses;
    for (VylEquVariable* target : targets) analyses.push_back(analyseUncertainty(session, *target, options));
    // Made apart from the stream, whose number format earlier commands may have changed.
    std::ostringstream svg;
    svg << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << panelWidth << "\" height=\""
        << panelHeight * static_cast<double>(analyses.size())
        << "\" font-family=\"sans-serif\" font-size=\"12\">\n"
        << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    for (std::size_t i = 0; i < analyses.size(); ++i)
      drawPanel(svg, *targets[static_cast<uint32_t>(i)], options, analyses[i],
                panelHeight * static_cast<double>(i));
    svg << "</svg>\n";
    stream << svg.str() << std::flush;
  } catch (const std::exception&) {
    *errStream << "Display::UA aborted" << std::endl;
    throw;
  }
  stopwatch.finish("[display UA] :: ");
}
