// A program left running while a test looks at it from outside (the process
// list), then ended by the test.
#pragma once

#include <memory>
#include <string>

namespace kalinor::testing {

class BackgroundProcess {
 public:
  /// Starts program (a path) without arguments; Started() tells whether it did.
  explicit BackgroundProcess(const std::wstring& program);
  /// Ends the program if it still runs.
  ~BackgroundProcess();
  BackgroundProcess(const BackgroundProcess&) = delete;
  BackgroundProcess& operator=(const BackgroundProcess&) = delete;

  bool Started() const;
  /// Kills the program and waits until it is gone from the process list.
  void Stop();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

/// The path of `name` in the folder of the running test executable, where
/// the build puts the programs a suite starts; "" when that folder is unknown.
std::wstring BesideThisTest(const std::wstring& name);

}  // namespace kalinor::testing
