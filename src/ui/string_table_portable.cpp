// The module's string table for the portable backend (portable build only;
// the DLL has the resource script), from the same texts as the script.
#include "platform/portable/string_table.h"
#include "ui/resources.h"

namespace tarnix::platform::portable {

namespace {

constexpr StringResource kStrings[] = {
    {IDS_DRIVER_NAME, STR_DRIVER_NAME},
    {IDS_WRONG_HOST_VERSION, STR_WRONG_HOST_VERSION},
    {IDS_WRONG_API_VERSION, STR_WRONG_API_VERSION},
    {IDS_NO_BOARDS, STR_NO_BOARDS},
    {IDS_HELP_FILE, STR_HELP_FILE},
    {IDS_BUFFER_SIZE_FIXED, STR_BUFFER_SIZE_FIXED},
    {IDS_OVERRUN, STR_OVERRUN},
    {IDS_AD_BUSY, STR_AD_BUSY},
    {IDS_NOT_SUPPORTED, STR_NOT_SUPPORTED},
    {IDS_WRONG_RATE, STR_WRONG_RATE},
    {IDS_NO_CHANNEL, STR_NO_CHANNEL},
    {IDS_WRONG_BLOCK_SIZE, STR_WRONG_BLOCK_SIZE},
    {IDS_UNKNOWN_ERROR, STR_UNKNOWN_ERROR},
    {IDS_RATE_CHANGED, STR_RATE_CHANGED},
    {IDS_CHANNELS_CHANGED, STR_CHANNELS_CHANGED},
};

}  // namespace

std::span<const StringResource> ModuleStrings() { return kStrings; }

}  // namespace tarnix::platform::portable
