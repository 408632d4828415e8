// The same checks against VLQAPI.dll, run under Wine.
#include "native/boardsim/acquire_stream_test.cpp"
