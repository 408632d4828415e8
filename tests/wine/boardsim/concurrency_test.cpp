// The same checks against VLQAPI.dll, run under Wine.
#include "native/boardsim/concurrency_test.cpp"
