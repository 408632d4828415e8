// What the fuzz target checks besides the sanitizers, as its callers see it.
//
// The fuzz target (libFuzzer) wants a crash: on the first finding it prints
// it and aborts, and libFuzzer keeps the input. The corpus replay test wants
// a verdict per input: it collects the findings instead, and the input ends
// at the first one.
#pragma once

#include <string>
#include <vector>

namespace tarnix::fuzz {

// Collects findings from now on instead of aborting (the corpus replay).
void CollectFindings(bool collect);

// The findings since the last call, oldest first; empty when the inputs ran
// cleanly.
std::vector<std::string> TakeFindings();

}  // namespace tarnix::fuzz
