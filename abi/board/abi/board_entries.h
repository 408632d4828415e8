// The board access library's functions, one row each. Everything else is
// expanded from here: the declarations (abi/board_api.h), the import list
// tarnix.dll is linked against, the simulated library's export list (both
// .def files written by the build) and the stand-in's list of the functions
// a test can make fail.
//
// A row: X(name, arguments, argument bytes). Names are written without their
// VELQ_ prefix; every function answers int32_t. Argument bytes are those the
// callee removes from the 32-bit stack (the N of Name@N); abi/board_api.h
// checks them against the arguments.
//
// What the arguments mean:
//   Query: answer to one query code (tarnix::velq::Query) for a board or the
//     library.
//   StrBoardName: board name as a terminated text into a buffer of
//     kBoardNameBytes bytes.
//   StrError: message text for a library status into a buffer of
//     kErrorTextBytes bytes.
//   ADConfig: configures the analog-input scan; reserved is always 0.
//   ADGetData: stores up to *count signed 32-bit microvolt samples at buffer
//     and may store the number delivered in *count. count may be unaligned
//     (it points into the packed host record); the library must access it
//     bytewise.
//
// Plain preprocessor text: the build expands it to write the .def files.
#pragma once

// clang-format off
#define TARNIX_BOARD_FUNCTIONS(X)                                                          \
  X(Query, (int32_t serial, int32_t code, int32_t param), 12)                              \
  X(StrBoardName, (int32_t serial, char* text), 8)                                         \
  X(StrError, (int32_t status, char* text), 8)                                             \
  X(ADConfig, (int32_t serial, int32_t* rate, int32_t clockSource, int32_t mode,           \
               int32_t reserved, int32_t* channelList, int32_t* gainCodes,                 \
               int32_t channelCount), 32)                                                  \
  X(ADStart, (int32_t serial), 4)                                                          \
  X(ADStop, (int32_t serial), 4)                                                           \
  X(ADGetData, (int32_t serial, int32_t* buffer, int32_t* count), 12)                      \
  X(DAWrite, (int32_t serial, int32_t channel, int32_t microvolts), 12)                    \
  X(DioWrite, (int32_t serial, int32_t port, int32_t value), 12)                           \
  X(CTWrite, (int32_t serial, int32_t counter, int32_t value), 12)                         \
  X(DioRead, (int32_t serial, int32_t port, int32_t* value), 12)                           \
  X(CTRead, (int32_t serial, int32_t counter, int32_t* value), 12)
// clang-format on
