// Placeholder until the simulated board library lands: every call fails.
#include "core/board_api.h"

#define VLQ_EXPORT extern "C" TARNIX_EXPORT

VLQ_EXPORT int32_t TARNIX_WINAPI VELQ_Query(int32_t, int32_t, int32_t) { return -1; }
VLQ_EXPORT int32_t TARNIX_WINAPI VELQ_StrBoardName(int32_t, char* t) { if (t) t[0] = 0; return -1; }
VLQ_EXPORT int32_t TARNIX_WINAPI VELQ_StrError(int32_t, char* t) { if (t) t[0] = 0; return -1; }
VLQ_EXPORT int32_t TARNIX_WINAPI VELQ_ADConfig(int32_t, int32_t*, int32_t, int32_t, int32_t, int32_t*, int32_t*, int32_t) { return -1; }
VLQ_EXPORT int32_t TARNIX_WINAPI VELQ_ADStart(int32_t) { return -1; }
VLQ_EXPORT int32_t TARNIX_WINAPI VELQ_ADStop(int32_t) { return -1; }
VLQ_EXPORT int32_t TARNIX_WINAPI VELQ_ADGetData(int32_t, int32_t*, int32_t*) { return -1; }
VLQ_EXPORT int32_t TARNIX_WINAPI VELQ_DAWrite(int32_t, int32_t, int32_t) { return -1; }
VLQ_EXPORT int32_t TARNIX_WINAPI VELQ_DioWrite(int32_t, int32_t, int32_t) { return -1; }
VLQ_EXPORT int32_t TARNIX_WINAPI VELQ_CTWrite(int32_t, int32_t, int32_t) { return -1; }
VLQ_EXPORT int32_t TARNIX_WINAPI VELQ_DioRead(int32_t, int32_t, int32_t*) { return -1; }
VLQ_EXPORT int32_t TARNIX_WINAPI VELQ_CTRead(int32_t, int32_t, int32_t*) { return -1; }
