#include "acquisition_options.h"

#include <cstdio>

#include "channel_list.h"

namespace host {

int AcquisitionOptions::Resolve(AcquireSettings* out) const {
  *out = settings;
  std::string why;
  out->channels = ParseChannelList(channels, &why);
  if (!out->channels.empty()) return kExitOk;
  std::fprintf(stderr, "error: --channels: %s\n", why.c_str());
  return kExitUsage;
}

void AddScanOptions(CLI::App& command, AcquisitionOptions* o, const char* rateHelp) {
  command.add_option("-c,--channels", o->channels, "Analog inputs to scan, e.g. 0-3,6")
      ->capture_default_str();
  command.add_option("-r,--rate", o->settings.rate, rateHelp)->capture_default_str();
  command.add_option("--block-size", o->settings.blockSize, "Samples per block (all channels)")
      ->capture_default_str();
  command.add_option("--buffer-size", o->settings.bufferSize,
                     "Host buffer in samples (default: 8 blocks or half a second of scans)");
}

void AddTimeoutOption(CLI::App& command, AcquisitionOptions* o, const char* help) {
  command.add_option("--timeout", o->settings.timeout, help)->capture_default_str();
}

void AddWorksheetOption(CLI::App& command, AcquisitionOptions* o, const char* help) {
  command.add_option("--worksheet", o->worksheet, help);
}

void AddHostDelayOption(CLI::App& command, AcquisitionOptions* o, const char* help, int maxMs) {
  command.add_option("--host-delay", o->settings.hostDelayMs, help)->check(CLI::Range(0, maxMs));
}

}  // namespace host
