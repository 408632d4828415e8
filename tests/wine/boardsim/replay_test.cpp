// The same checks against VLQAPI.dll, run under Wine.
#include "native/boardsim/replay_test.cpp"
