#pragma once

#include <QObject>
#include <QVariant>
#include <QVariantList>

namespace HostKit {

// Calls an invokable method by name, the way QML does: the overload is chosen by the
// number of arguments given (trailing defaults may be left out), and each argument
// is converted to the parameter's type. Reports a failure when there is no such
// method or an argument does not convert; returns the method's result.
QVariant call(QObject* object, const char* method, const QVariantList& args = {});

} // namespace HostKit
