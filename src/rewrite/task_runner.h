// SPDX-License-Identifier: MIT
// Where the streaming rewrite starts its threads: new ones by default, or threads the caller keeps.
#pragma once

#include <functional>

namespace tarvex {

// Starts the rewriting loops of a parallel run on threads the caller keeps (a fuzzer
// that runs thousands of small inputs a second cannot afford new threads for each). start() must
// begin the task at once on a thread of its own, since the tasks wait for one another; the run
// waits for every task it started to return.
class TaskRunner {
public:
    virtual ~TaskRunner() = default;
    virtual void start(std::function<void()> task) = 0;
};

} // namespace tarvex
