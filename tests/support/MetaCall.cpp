#include "MetaCall.h"

#include <QMetaMethod>
#include <QTest>

#include <vector>

QVariant metaCall(QObject* object, const char* method, const QVariantList& args)
{
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
                QTest::qFail(qPrintable(QStringLiteral("argument %1 of %2 does not convert").arg(p).arg(method)),
                             __FILE__, __LINE__);
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
        return result;
    }
    QTest::qFail(qPrintable(QStringLiteral("no method %1 with %2 arguments").arg(method).arg(args.size())),
                 __FILE__, __LINE__);
    return QVariant();
}
