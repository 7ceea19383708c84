// Waits, and nothing else: the test ends it long before it would end itself.
// Short enough that a run whose end was missed cannot hold the test's output
// (a pipe CTest waits on) for long.
#include <chrono>
#include <thread>

int main() { std::this_thread::sleep_for(std::chrono::seconds(90)); }
