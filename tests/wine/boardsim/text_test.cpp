// The same checks against VLQAPI.dll, run under Wine.
#include "native/boardsim/text_test.cpp"
