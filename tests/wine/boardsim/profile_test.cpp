// The same checks against VLQAPI.dll, run under Wine.
#include "native/boardsim/profile_test.cpp"
