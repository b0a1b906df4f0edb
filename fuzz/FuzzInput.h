#pragma once

// Turns a fuzzer's bytes into numbers, texts and variant trees for the plug-in's
// processors. Texts lean towards what the plug-in compares against: its protocol keys
// and, through known(), the ids the plug-in under test holds or sent (0: a camera's,
// 1: a station's, 2: a request's).
#include "ProtocolKeys.h"

#include <QCborValue>
#include <QJsonObject>
#include <QStringList>
#include <QUrl>
#include <QVariant>

#include <fuzzer/FuzzedDataProvider.h>

#include <functional>
#include <string>

constexpr int kMaxDepth = 3;  // of a generated variant tree
constexpr size_t kMaxText = 48;

class FuzzInput
{
public:
    FuzzInput(FuzzedDataProvider& bytes, std::function<QString(int kind)> known)
        : m_bytes(bytes), m_known(std::move(known))
    {
    }

    bool exhausted() const { return m_bytes.remaining_bytes() == 0; }
    int pick(int count) { return count <= 0 ? 0 : m_bytes.ConsumeIntegralInRange<int>(0, count - 1); }
    bool flip() { return m_bytes.ConsumeBool(); }
    template <typename T> T integral() { return m_bytes.ConsumeIntegral<T>(); }
    QString text(size_t max = kMaxText) { return QString::fromUtf8(m_bytes.ConsumeRandomLengthString(max)); }
    Qt::SortOrder order() { return flip() ? Qt::AscendingOrder : Qt::DescendingOrder; }

    // One of texts, or any text.
    QString oneOf(const QStringList& texts)
    {
        const int choice = pick(texts.size() + 1);
        return choice < texts.size() ? texts.at(choice) : text(24);
    }

    QString key()
    {
        using namespace ProtocolKey;
        static const QStringList keys{ReqUID, CheckAuth, DevList, DelID, IP, HostName, HttpPort, HttpsPort, MAC,
                                      Model, Brand, QRLNModel, SearchType, ChannelNum, DetRes, CamRTSPPort,
                                      StreamURLList};
        return keys.at(pick(keys.size()));
    }

    QString steered()
    {
        const int choice = pick(8);
        switch (choice) {
        case 0: case 1: case 2: return m_known(choice);
        case 3: return key();
        case 4: return QString(m_bytes.ConsumeIntegralInRange<int>(0, 1 << 16), QChar(integral<char16_t>()));
        case 5: return QStringLiteral("001122AABBCC");
        case 6: return QString::number(integral<int>());
        default: return text();
        }
    }

    QVariant number()
    {
        switch (pick(7)) {
        case 0: return m_bytes.ConsumeIntegralInRange<int>(-2, 7);
        case 1: return integral<int>();
        case 2: return integral<qint64>();
        case 3: return integral<quint64>();
        case 4: return m_bytes.ConsumeFloatingPoint<double>();
        case 5: return QVariant::fromValue(integral<ushort>());
        default: return QString::number(integral<int>());
        }
    }

    QVariant cbor()
    {
        const std::string bytes = m_bytes.ConsumeRandomLengthString(256);
        QCborParserError error;
        const QCborValue decoded = QCborValue::fromCbor(QByteArray(bytes.data(), qsizetype(bytes.size())), &error);
        // Qt 6.4's toVariant() dereferences null for a string cut short in the input;
        // only well-formed CBOR becomes a variant tree here.
        return error.error == QCborError::NoError ? decoded.toVariant() : QVariant();
    }

    QVariant value(int depth)
    {
        switch (pick(depth >= kMaxDepth ? 9 : 14)) {
        case 0: return QVariant();
        case 1: return QVariant::fromValue(nullptr);
        case 2: return flip();
        case 3: return number();
        case 4: return steered();
        case 5: return QByteArray::fromStdString(m_bytes.ConsumeRandomLengthString(kMaxText));
        case 6: return QStringList{steered(), text()};
        case 7: return cbor();
        case 8: return QUrl(text());
        case 9: return list(depth + 1);
        case 10: return map(depth + 1);
        case 11: return QJsonObject::fromVariantMap(map(depth + 1));
        case 12: {
            const QVariantMap entries = map(depth + 1);
            return QVariantHash(entries.cbegin(), entries.cend());
        }
        default: return device(depth + 1);
        }
    }

    // Values, or for a device list mostly devices.
    QVariantList list(int depth, bool devices = false)
    {
        QVariantList result;
        for (int n = pick(devices ? 9 : 7); n > 0; --n)
            result.append(devices && flip() ? QVariant(device(depth)) : value(depth));
        return result;
    }

    QVariantMap map(int depth)
    {
        QVariantMap result;
        for (int n = pick(7); n > 0; --n)
            result.insert(flip() ? key() : text(8), value(depth));
        return result;
    }

    // Close to what the server sends, with any key dropped or of another type.
    QVariantMap device(int depth)
    {
        using namespace ProtocolKey;
        QVariantMap result{{DelID, steered()}, {IP, QStringLiteral("10.0.0.1")}, {HttpPort, 80}, {HttpsPort, 443},
                           {MAC, QStringLiteral("001122AABBCC")}, {Model, QStringLiteral("M")}, {Brand, pick(4)},
                           {SearchType, 0}, {QRLNModel, QStringLiteral("Q")}, {HostName, QStringLiteral("h")},
                           {DetRes, pick(4)}, {ChannelNum, 1}};
        for (int n = pick(4); n > 0; --n) {
            const QString changed = key();
            if (flip())
                result.remove(changed);
            else
                result.insert(changed, depth >= kMaxDepth ? number() : value(depth));
        }
        return result;
    }

private:
    FuzzedDataProvider& m_bytes;
    std::function<QString(int kind)> m_known;
};
