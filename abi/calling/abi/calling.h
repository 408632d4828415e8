// Calling convention and export attribute of every entry point that crosses
// a library boundary: the module's DRV_ entries, the board library's VELQ_
// functions, the stand-in's VELQSIM_ controls.
//
// The host and the board library are 32-bit Windows code: every entry point
// crossing either boundary uses the standard Windows convention (the callee
// removes its arguments). On the native build the attribute is meaningless and
// expands to nothing.
#pragma once

#include <cstddef>
#include <type_traits>

// TARNIX_WINAPI (the convention), TARNIX_EXPORT (the attribute of an
// exported function) and TARNIX_EXPORT_ALIAS (a further export name for a
// routine) come from the one file for the system at hand, which the build
// picks: win32/abi/calling_system.h or portable/abi/calling_system.h.
#include "abi/calling_system.h"

namespace tarnix::abi {

// Bytes one argument takes on the 32-bit stack: whole 4-byte slots, and a
// pointer is one slot whatever the width of the build at hand.
template <typename T>
inline constexpr std::size_t kStackSlotBytes = std::is_pointer_v<T> ? 4 : (sizeof(T) + 3) / 4 * 4;

template <typename F>
struct StackArguments;
template <typename R, typename... A>
struct StackArguments<R(A...)> {
  static constexpr std::size_t bytes = (std::size_t{0} + ... + kStackSlotBytes<A>);
};

// The N of a 32-bit stdcall symbol Name@N for a function of type F: what the
// entry tables state per row and the .def files carry.
template <typename F>
inline constexpr std::size_t kStackArgumentBytes = StackArguments<F>::bytes;

}  // namespace tarnix::abi
