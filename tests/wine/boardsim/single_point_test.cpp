// The same checks against VLQAPI.dll, run under Wine.
#include "native/boardsim/single_point_test.cpp"
