// The data test program's entry point; the application goes before the rest of the host.
#include <gtest/gtest.h>

#include "host/Application.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  int result = RUN_ALL_TESTS();
  kw::KwDoneApplication();
  return result;
}
