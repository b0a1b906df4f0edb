#include "Workloads.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTextStream>
#include <QUuid>

#include <algorithm>
#include <memory>

namespace Workload {

namespace {

// Fixed seeds: every run and every build sees the same site.
constexpr quint32 kSeed = 20240607;

QString deviceId(QRandomGenerator& random)
{
    QByteArray bytes(16, Qt::Uninitialized);
    random.fillRange(reinterpret_cast<quint32*>(bytes.data()), 4);
    return QUuid::fromRfc4122(bytes).toString(QUuid::WithBraces);
}

QString ipOf(quint32 k)
{
    return QStringLiteral("10.%1.%2.%3").arg((k >> 16) & 0xFF).arg((k >> 8) & 0xFF).arg(k & 0xFF);
}

QString macOf(quint32 k)
{
    return QStringLiteral("0011%1").arg(k, 8, 16, QLatin1Char('0')).toUpper();
}

// The server checks the cameras of a batch side by side, so results come back in
// the order the cameras were found, shuffled within each stretch of a batch's size.
template <typename List>
void shuffleWithinBatches(List& list, QRandomGenerator& random)
{
    for (qsizetype start = 0; start < list.size(); start += kBatchSize)
        std::shuffle(list.begin() + start, list.begin() + qMin(list.size(), start + kBatchSize), random);
}

QStringList rowIds(const Site& site)
{
    QStringList ids;
    ids.reserve(site.rows.size());
    for (const CameraInfo& row : site.rows)
        ids.append(row.id);
    return ids;
}

// Addresses in an order unrelated to the row order, so sorting has work to do.
QList<quint32> shuffledAddresses(int n, QRandomGenerator& random)
{
    QList<quint32> addresses(n);
    for (int i = 0; i < n; ++i)
        addresses[i] = quint32(i) + 1;
    std::shuffle(addresses.begin(), addresses.end(), random);
    return addresses;
}

QVariantMap cameraEntry(const QString& id, quint32 address, int brand)
{
    const bool httpsOnly = address % 10 == 0;
    return QVariantMap{
        {QStringLiteral("delID"), id},
        {QStringLiteral("IP"), ipOf(address)},
        {QStringLiteral("HttpPort"), httpsOnly ? 0 : 80},
        {QStringLiteral("HttpsPort"), 443},
        {QStringLiteral("Brand"), brand},
        {QStringLiteral("MAC"), macOf(address)},
        {QStringLiteral("Model"), QStringLiteral("M%1").arg(address % 37)},
        {QStringLiteral("searchType"), 0},
    };
}

CameraInfo rowOf(const QVariantMap& entry)
{
    CameraInfo info;
    info.id = entry.value(QStringLiteral("delID")).toString();
    info.model = entry.value(QStringLiteral("Model")).toString();
    info.mac = entry.value(QStringLiteral("MAC")).toString();
    info.ip = entry.value(QStringLiteral("IP")).toString();
    const int httpPort = entry.value(QStringLiteral("HttpPort")).toInt();
    info.port = httpPort != 0 ? httpPort : entry.value(QStringLiteral("HttpsPort")).toInt();
    info.useSSL = httpPort == 0;
    info.streamingProtocol = httpPort == 0 ? QStringLiteral("HTTPS") : QStringLiteral("TCP");
    info.type = entry.value(QStringLiteral("searchType")).toInt();
    info.status = 6;
    info.brand = entry.value(QStringLiteral("Brand")).toInt();
    info.channelNum = 1;
    return info;
}

template <typename T>
const T& cached(QHash<int, std::shared_ptr<T>>& cache, int n, T (*build)(int))
{
    auto it = cache.find(n);
    if (it == cache.end())
        it = cache.insert(n, std::make_shared<T>(build(n)));
    return **it;
}

Site buildSite(int n)
{
    QRandomGenerator random(kSeed);
    const QList<quint32> addresses = shuffledAddresses(n, random);
    Site result;
    // The server runs native and ONVIF discovery side by side: each reports the
    // cameras in the order it finds them, and the two reports interleave. Half the
    // cameras answer both, and either may be heard first.
    QVariantList firstAnswers;
    QVariantList secondAnswers;
    for (int i = 0; i < n; ++i) {
        const QString id = deviceId(random);
        result.ids.append(id);
        if (i % 2 == 0) {
            const bool onvifFirst = random.bounded(2) == 1;
            firstAnswers.append(cameraEntry(id, addresses[i], onvifFirst ? 1 : 0));
            secondAnswers.append(cameraEntry(id, addresses[i], onvifFirst ? 0 : 1));
        } else {
            firstAnswers.append(cameraEntry(id, addresses[i], i % 3 == 0 ? 2 : 0));
        }
    }
    QVariantList entries;
    qsizetype first = 0;
    qsizetype second = 0;
    while (first < firstAnswers.size() || second < secondAnswers.size()) {
        const qsizetype firstLeft = firstAnswers.size() - first;
        const qsizetype secondLeft = secondAnswers.size() - second;
        // A camera's second answer never comes before its first.
        const bool takeFirst = secondLeft == 0
            || (firstLeft > 0 && second >= first / 2)
            || (firstLeft > 0 && random.bounded(quint32(firstLeft + secondLeft)) < quint32(firstLeft));
        entries.append(takeFirst ? firstAnswers[first++] : secondAnswers[second++]);
    }

    QSet<QString> seen;
    for (const QVariant& entry : std::as_const(entries)) {
        const QVariantMap device = entry.toMap();
        if (seen.contains(device.value(QStringLiteral("delID")).toString()))
            continue;
        seen.insert(device.value(QStringLiteral("delID")).toString());
        result.rows.append(rowOf(device));
    }
    for (qsizetype start = 0; start < entries.size(); start += kBatchSize)
        result.batches.append(entries.mid(start, kBatchSize));
    return result;
}

QList<QVariantList> buildStationBatches(int n)
{
    QRandomGenerator random(kSeed + 1);
    const QList<quint32> addresses = shuffledAddresses(n, random);
    QVariantList entries;
    for (int i = 0; i < n; ++i) {
        entries.append(QVariantMap{
            {QStringLiteral("delID"), deviceId(random)},
            {QStringLiteral("IP"), ipOf(addresses[i])},
            {QStringLiteral("HttpPort"), 80},
            {QStringLiteral("HttpsPort"), 443},
            {QStringLiteral("Brand"), 0},
            {QStringLiteral("MAC"), macOf(addresses[i])},
            {QStringLiteral("Model"), QStringLiteral("S%1").arg(addresses[i] % 11)},
            {QStringLiteral("HostName"), QStringLiteral("station-%1").arg(addresses[i])},
            {QStringLiteral("QRLNModel"), QStringLiteral("NVR")},
            {QStringLiteral("searchType"), 24},
        });
    }
    QList<QVariantList> batches;
    for (qsizetype start = 0; start < entries.size(); start += kBatchSize)
        batches.append(entries.mid(start, kBatchSize));
    return batches;
}

QList<QVariantMap> buildDetections(int n)
{
    QRandomGenerator random(kSeed + 2);
    QStringList ids = rowIds(site(n));
    shuffleWithinBatches(ids, random);
    QList<QVariantMap> events;
    events.reserve(n);
    for (int i = 0; i < n; ++i) {
        // Most cameras let the check in; the rest report the usual failures.
        static const int outcomes[] = {0, 0, 1, 2};
        events.append(QVariantMap{
            {QStringLiteral("delID"), ids[i]},
            {QStringLiteral("detRes"), outcomes[i % 4]},
            {QStringLiteral("Model"), QStringLiteral("D%1").arg(i % 19)},
            {QStringLiteral("MAC"), macOf(quint32(i))},
            {QStringLiteral("ChannelNum"), 1 + i % 4},
        });
    }
    return events;
}

QStringList buildAuthorizeUids(int n)
{
    // Every camera as the list shows it, and a quarter of them picked a second time.
    QStringList uids = rowIds(site(n));
    for (int i = 0; i < n; i += 4)
        uids.append(uids[i]);
    return uids;
}

QList<QVariantMap> buildAuthorizeAnswers(int n)
{
    QRandomGenerator random(kSeed + 4);
    QStringList ids = rowIds(site(n));
    shuffleWithinBatches(ids, random);
    QList<QVariantMap> answers;
    answers.reserve(n);
    for (int i = 0; i < n; ++i) {
        answers.append(QVariantMap{
            {QStringLiteral("delID"), ids[i]},
            {QStringLiteral("detRes"), i % 2},
            {QStringLiteral("Model"), QStringLiteral("A%1").arg(i % 23)},
            {QStringLiteral("MAC"), macOf(quint32(i))},
            {QStringLiteral("Brand"), 0},
            {QStringLiteral("ChannelNum"), 1},
            {QStringLiteral("CamRTSPPort"), 554},
            {QStringLiteral("StreamURLList"), QVariantList{QStringLiteral("rtsp://cam/%1/main").arg(i)}},
        });
    }
    return answers;
}

QTemporaryDir& importDir()
{
    static QTemporaryDir dir;
    return dir;
}

} // namespace

const Site& site(int n)
{
    static QHash<int, std::shared_ptr<Site>> cache;
    return cached(cache, n, &buildSite);
}

const QList<QVariantList>& stationBatches(int n)
{
    static QHash<int, std::shared_ptr<QList<QVariantList>>> cache;
    return cached(cache, n, &buildStationBatches);
}

const QList<QVariantMap>& detections(int n)
{
    static QHash<int, std::shared_ptr<QList<QVariantMap>>> cache;
    return cached(cache, n, &buildDetections);
}

const QStringList& authorizeUids(int n)
{
    static QHash<int, std::shared_ptr<QStringList>> cache;
    return cached(cache, n, &buildAuthorizeUids);
}

const QList<QVariantMap>& authorizeAnswers(int n)
{
    static QHash<int, std::shared_ptr<QList<QVariantMap>>> cache;
    return cached(cache, n, &buildAuthorizeAnswers);
}

QString importFile(int n)
{
    const QString path = importDir().filePath(QStringLiteral("devices-%1.csv").arg(n));
    if (QFile::exists(path))
        return path;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return path;
    QRandomGenerator random(kSeed + 5);
    const QList<quint32> addresses = shuffledAddresses(n, random);
    QTextStream out(&file);
    out << "Brand,IP Address,Port,Model,Host Name,MAC\n";
    for (int i = 0; i < n; ++i) {
        const quint32 k = addresses[i];
        const QString port = i % 100 == 99 ? QStringLiteral("8O") : QStringLiteral("80");
        out << i % 3 << ',' << ipOf(k) << ',' << port << ",\"M" << k % 37 << "\",cam-" << k << ',' << macOf(k)
            << '\n';
    }
    return path;
}

QVariantMap searchAnswer(const QString& requestId, const QVariantList& devList)
{
    return QVariantMap{{QStringLiteral("reqUID"), requestId}, {QStringLiteral("devList"), devList}};
}

} // namespace Workload
