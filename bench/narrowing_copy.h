// The memory bound for the block conversion: read 4 bytes, write 2 per
// sample, nothing else, in the widest vectors this processor has.
#pragma once

#include <cstdint>

namespace bench {

void NarrowingCopy(const int32_t* in, int16_t* out, uint32_t count);
const char* NarrowingCopyPath();

}  // namespace bench
