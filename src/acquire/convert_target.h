// The instruction set a conversion kernel file is compiled for, named once
// at its top and closed at its end:
//
//   TARNIX_KERNEL_TARGET_BEGIN("avx2")
//   ... the kernel and its helpers (and libdivide, included here) ...
//   TARNIX_KERNEL_TARGET_END()
//
// Everything between the two, libdivide's inline functions included, gets
// the same target options. Functions whose target options differ in any way
// are not inlined into each other (the 32-bit mingw compiler counted a
// target attribute and GCC's target pragma as different), and a call per
// vector costs a kernel most of its speed. GCC takes the set through its
// target pragma; clang ignores that pragma and takes the same set as an
// attribute pushed onto every function that follows. Only the kernel files
// include this, so no other code is compiled for a set the processor may
// lack: the dispatcher calls a kernel only where the processor has its set.
#pragma once

#define TARNIX_KERNEL_PRAGMA(text) _Pragma(#text)

#if defined(__clang__)
#define TARNIX_KERNEL_TARGET_BEGIN(set) \
  TARNIX_KERNEL_PRAGMA(clang attribute push(__attribute__((target(set))), apply_to = function))
#define TARNIX_KERNEL_TARGET_END() TARNIX_KERNEL_PRAGMA(clang attribute pop)
#else
#define TARNIX_KERNEL_TARGET_BEGIN(set) \
  TARNIX_KERNEL_PRAGMA(GCC push_options) TARNIX_KERNEL_PRAGMA(GCC target(set))
#define TARNIX_KERNEL_TARGET_END() TARNIX_KERNEL_PRAGMA(GCC pop_options)
#endif
