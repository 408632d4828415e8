// The live view's page and the charting library, built into the program
// (cmake/embed_files.cmake writes monitor_assets.cpp from host/monitor/web/
// and the uPlot package), so the page needs no network and no files.
#pragma once

#include <cstddef>

namespace host {

struct MonitorAsset {
  const char* path;  // as requested, e.g. "/uPlot.min.js"
  const char* contentType;
  const unsigned char* data;
  std::size_t size;
};

extern const MonitorAsset kMonitorAssets[];
extern const std::size_t kMonitorAssetCount;

}  // namespace host
