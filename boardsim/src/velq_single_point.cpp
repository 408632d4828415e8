// VELQ_DAWrite, VELQ_DioWrite/Read and VELQ_CTWrite/Read: immediate I/O.
// Analog outputs keep the last value (and drive the inputs wired to them),
// digital ports loop their outputs back to their inputs unless a wire from
// another port drives the input, counters count up at their own rate and can
// be preset.
#include <cstring>

#include "abi/board_api.h"
#include "sim_state.h"
#include "statuses.h"

namespace velqsim {

namespace {

void WriteInt(int32_t* address, int32_t value) { std::memcpy(address, &value, sizeof value); }

bool InTable(int32_t index, size_t size) { return index >= 0 && static_cast<size_t>(index) < size; }

uint32_t PortMask(const BoardDescription& description) {
  return description.portWidth >= 32 ? 0xFFFFFFFFu : (uint32_t{1} << description.portWidth) - 1u;
}

// The port whose output an input port reads: the far end of a wire, else
// the port itself.
size_t InputSource(const BoardDescription& description, int32_t port) {
  for (const PortWire& wire : description.portWires) {
    if (wire.input == port) return static_cast<size_t>(wire.output);
  }
  return static_cast<size_t>(port);
}

// Runs `act` on the board named by `serial` unless the call is intercepted.
template <typename Act>
int32_t WithBoard(SimState& state, const char* function, int32_t serial, Act act) {
  int32_t result = kOk;
  if (Intercepted(state, function, &result)) return result;
  BoardState* board = FindBoard(state, serial);
  if (board == nullptr) return kUnknownSerial;
  return act(*board);
}

}  // namespace

}  // namespace velqsim

using namespace velqsim;

extern "C" TARNIX_EXPORT int32_t TARNIX_WINAPI VELQ_DAWrite(int32_t serial, int32_t channel,
                                                            int32_t microvolts) {
  auto lock = Lock();
  SimState& state = State();
  const int32_t result = WithBoard(state, "VELQ_DAWrite", serial, [&](BoardState& board) {
    if (!InTable(channel, board.analogOutputs.size())) return int32_t{kBadOutputChannel};
    if (microvolts < -kFullScaleMicrovolts || microvolts > kFullScaleMicrovolts) {
      return int32_t{kOutputValueRange};
    }
    WriteAnalogOutput(state, board, channel, microvolts);
    return int32_t{kOk};
  });
  state.log.Add("VELQ_DAWrite(%d, %d, %d) = %d", serial, channel, microvolts, result);
  return result;
}

extern "C" TARNIX_EXPORT int32_t TARNIX_WINAPI VELQ_DioWrite(int32_t serial, int32_t port,
                                                             int32_t value) {
  auto lock = Lock();
  SimState& state = State();
  const int32_t result = WithBoard(state, "VELQ_DioWrite", serial, [&](BoardState& board) {
    if (!InTable(port, board.ports.size())) return int32_t{kBadPort};
    // Like a real port, bits beyond its width are not driven.
    board.ports[static_cast<size_t>(port)] =
        static_cast<uint32_t>(value) & PortMask(board.description);
    return int32_t{kOk};
  });
  state.log.Add("VELQ_DioWrite(%d, %d, %d) = %d", serial, port, value, result);
  return result;
}

extern "C" TARNIX_EXPORT int32_t TARNIX_WINAPI VELQ_DioRead(int32_t serial, int32_t port,
                                                            int32_t* value) {
  auto lock = Lock();
  SimState& state = State();
  const int32_t result = WithBoard(state, "VELQ_DioRead", serial, [&](BoardState& board) {
    if (value == nullptr) return int32_t{kNullPointer};
    if (!InTable(port, board.ports.size())) return int32_t{kBadPort};
    const size_t source = InputSource(board.description, port);
    WriteInt(value, static_cast<int32_t>(source < board.ports.size() ? board.ports[source] : 0u));
    return int32_t{kOk};
  });
  state.log.Add("VELQ_DioRead(%d, %d, %s) = %d", serial, port, PointerText(value), result);
  return result;
}

extern "C" TARNIX_EXPORT int32_t TARNIX_WINAPI VELQ_CTWrite(int32_t serial, int32_t counter,
                                                            int32_t value) {
  auto lock = Lock();
  SimState& state = State();
  const int32_t result = WithBoard(state, "VELQ_CTWrite", serial, [&](BoardState& board) {
    if (!InTable(counter, board.counters.size())) return int32_t{kBadCounter};
    Settle(state, board);
    CounterState& target = board.counters[static_cast<size_t>(counter)];
    target.value = static_cast<uint32_t>(value);
    target.fraction = 0.0;
    return int32_t{kOk};
  });
  state.log.Add("VELQ_CTWrite(%d, %d, %d) = %d", serial, counter, value, result);
  return result;
}

extern "C" TARNIX_EXPORT int32_t TARNIX_WINAPI VELQ_CTRead(int32_t serial, int32_t counter,
                                                           int32_t* value) {
  auto lock = Lock();
  SimState& state = State();
  const int32_t result = WithBoard(state, "VELQ_CTRead", serial, [&](BoardState& board) {
    if (value == nullptr) return int32_t{kNullPointer};
    if (!InTable(counter, board.counters.size())) return int32_t{kBadCounter};
    Settle(state, board);
    WriteInt(value, static_cast<int32_t>(board.counters[static_cast<size_t>(counter)].value));
    return int32_t{kOk};
  });
  state.log.Add("VELQ_CTRead(%d, %d, %s) = %d", serial, counter, PointerText(value), result);
  return result;
}
