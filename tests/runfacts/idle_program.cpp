// Waits, and nothing else: the test ends it long before it would end itself.
#include <chrono>
#include <thread>

int main() { std::this_thread::sleep_for(std::chrono::minutes(5)); }
