// Not built yet: answers 0 until its subsystem lands.
#include "settings/worksheet.h"

namespace tarnix {

int32_t NewWorksheet() { return 0; }
int32_t LoadWorksheet(const char*) { return 0; }
int32_t SaveWorksheet(const char*) { return 0; }
bool RegReadNumber(const char*, const char*, int32_t*) { return false; }
bool RegWriteNumber(const char*, const char*, int32_t) { return false; }

}  // namespace tarnix
