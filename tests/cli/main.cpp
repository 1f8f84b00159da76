#include "tests/support/app_harness.h"

// The windowed program runs here too (on the offscreen platform), for the
// files the tool's must equal.
int main(int argc, char** argv) {
    return ventaro::testing::RunWindowedTests(argc, argv, false);
}
