// The same checks against VLQAPI.dll, run under Wine.
#include "native/boardsim/call_log_test.cpp"
