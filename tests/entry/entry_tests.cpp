// placeholder until the entry tests land
#include <gtest/gtest.h>
TEST(Placeholder, Builds) {}
