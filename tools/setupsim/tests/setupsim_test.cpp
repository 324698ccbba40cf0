#include <gtest/gtest.h>
TEST(Setupsim, Placeholder) {}
