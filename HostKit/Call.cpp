#include "Call.h"

#include "Failure.h"

#include <QMetaMethod>

#include <vector>

namespace HostKit {

QVariant call(QObject* object, const char* method, const QVariantList& args)
{
    if (!object) {
        fail(QStringLiteral("%1 called on no object").arg(QLatin1String(method)));
        return QVariant();
    }
    const QMetaObject* meta = object->metaObject();
    for (int i = 0; i < meta->methodCount(); ++i) {
        const QMetaMethod candidate = meta->method(i);
        if (candidate.name() != method || candidate.parameterCount() != args.size())
            continue;
        if (candidate.methodType() != QMetaMethod::Method && candidate.methodType() != QMetaMethod::Slot)
            continue;

        std::vector<QVariant> converted;
        converted.reserve(args.size());
        for (int p = 0; p < args.size(); ++p) {
            QVariant value = args.at(p);
            const QMetaType type = candidate.parameterMetaType(p);
            if (!value.isValid())
                value = QVariant(type);
            else if (value.metaType() != type && !value.convert(type)) {
                fail(QStringLiteral("argument %1 of %2 does not convert").arg(p).arg(QLatin1String(method)));
                return QVariant();
            }
            converted.push_back(value);
        }

        // addDevice has eleven parameters, one more than QMetaMethod::invoke takes, so
        // the call goes through the meta-call entry point QML itself uses.
        QVariant result(candidate.returnMetaType());
        std::vector<void*> argv(converted.size() + 1, nullptr);
        if (candidate.returnMetaType().id() != QMetaType::Void)
            argv[0] = result.data();
        for (size_t p = 0; p < converted.size(); ++p)
            argv[p + 1] = converted[p].data();
        QMetaObject::metacall(object, QMetaObject::InvokeMetaMethod, candidate.methodIndex(), argv.data());
        // A method returning QVariant filled the one held inside result.
        if (candidate.returnMetaType() == QMetaType::fromType<QVariant>())
            return *static_cast<const QVariant*>(result.constData());
        return result;
    }
    fail(QStringLiteral("no method %1 with %2 arguments").arg(QLatin1String(method)).arg(args.size()));
    return QVariant();
}

} // namespace HostKit
