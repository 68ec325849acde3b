#include <gtest/gtest.h>
TEST(FakeStorage, Builds) {}
