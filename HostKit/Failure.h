#pragma once

#include <QString>

#include <functional>

namespace HostKit {

// What the kit does when the plug-in refuses a step (it does not load, a method is
// missing, a call is refused): a test fails the current test function, a benchmark
// skips the run, a fuzzer aborts. Without a handler the kit aborts.
using FailureHandler = std::function<void(const QString& message)>;

void setFailureHandler(FailureHandler handler);

// Reports through the handler. A handler may return (the kit then goes on with an
// empty result) or throw.
void fail(const QString& message);

} // namespace HostKit
