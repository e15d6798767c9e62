// Counts the heap allocations this process makes while counting is on. The
// executable replaces malloc and its relatives, so operator new (which
// allocates through malloc) is counted too.
#pragma once

namespace heapcount {

// Starts counting from zero.
void start();
// Stops counting and returns the allocations since start().
long stop();

// Allocations made while a Pause lives are not counted: it brackets code that
// is not under test, such as the fake VM's own bookkeeping.
class Pause {
  public:
    Pause();
    ~Pause();
    Pause(const Pause&) = delete;
    Pause& operator=(const Pause&) = delete;

  private:
    bool wasCounting;
};

}  // namespace heapcount
