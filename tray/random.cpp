// The program's pseudo-random generator: a linear congruential generator with
// the classic C library constants, seeded once at start-up.
#include "tray/qvtoolbar.h"

namespace {
unsigned RandomState = 1;
}

void SeedRandom(unsigned seed) { RandomState = seed; }

unsigned NextRandom() {
  RandomState = RandomState * 214013u + 2531011u;
  return (RandomState >> 16) & 0x7fffu;
}
