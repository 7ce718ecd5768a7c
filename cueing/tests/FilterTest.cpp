#include <gtest/gtest.h>

#include "MotionCueing.h"

TEST(Compiles, Placeholder) {}
