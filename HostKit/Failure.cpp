#include "Failure.h"

#include <QtGlobal>

#include <cstdlib>

namespace HostKit {

namespace {
FailureHandler& handler()
{
    static FailureHandler current;
    return current;
}
} // namespace

void setFailureHandler(FailureHandler handler_)
{
    handler() = std::move(handler_);
}

void fail(const QString& message)
{
    if (handler()) {
        handler()(message);
        return;
    }
    qCritical("%s", qPrintable(message));
    std::abort();
}

} // namespace HostKit
