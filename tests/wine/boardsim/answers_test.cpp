// The same checks against VLQAPI.dll, run under Wine.
#include "native/boardsim/answers_test.cpp"
