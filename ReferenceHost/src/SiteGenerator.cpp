#include "SiteGenerator.h"

namespace {

// Addresses of copies lie in 10.100.0.0 and above, apart from any pattern of the
// 10.20 networks the demo uses; 250 hosts per /24 keep every part a valid one.
QString copyIp(int index)
{
    return QStringLiteral("10.%1.%2.%3").arg(100 + index / 62500).arg(index / 250 % 250).arg(index % 250 + 1);
}

// Locally administered, twelve hex digits like the native protocol's.
QString copyMac(int index)
{
    return QStringLiteral("02%1").arg(index, 10, 16, QLatin1Char('0')).toUpper();
}

SiteTiming largeSiteTiming(int cameraCount)
{
    SiteTiming timing;
    timing.searchBatches = qBound(4, cameraCount / 1000, 100);
    timing.batchDelayMs = 20;
    timing.detectionDelayMs = 0;
    timing.authorizeDelayMs = 0;
    return timing;
}

} // namespace

namespace SiteGenerator {

Site generate(const Site& pattern, int cameraCount)
{
    Site site;
    site.name = QStringLiteral("Generated site of %1 cameras").arg(cameraCount);
    site.timing = largeSiteTiming(cameraCount);
    site.defaultCredentials = pattern.defaultCredentials;
    site.credentials = pattern.credentials;
    site.stations = pattern.stations;
    site.stationFamily = pattern.stationFamily;
    site.topology = pattern.topology;

    const int patternSize = int(pattern.cameras.size());
    if (patternSize == 0 || cameraCount <= 0)
        return site;
    // What the topology holds of each pattern camera, to hold the same of its copies.
    QList<QList<TopologyDevice>> managedOf(patternSize);
    for (const TopologyDevice& device : pattern.topology) {
        for (int i = 0; i < patternSize; ++i) {
            const SiteCamera& camera = pattern.cameras.at(i);
            if (camera.ip == device.ip && QString::number(camera.port()) == device.port)
                managedOf[i].append(device);
        }
    }

    site.cameras.reserve(cameraCount);
    for (int index = 0; index < cameraCount; ++index) {
        const int of = index % patternSize;
        const int round = index / patternSize;
        SiteCamera camera = pattern.cameras.at(of);
        if (round > 0) {
            const QString suffix = QStringLiteral("-%1").arg(round);
            camera.id += suffix;
            camera.ip = copyIp(index);
            camera.mac = camera.mac.isEmpty() ? QString() : copyMac(index);
            camera.hostName = camera.hostName.isEmpty() ? QString() : camera.hostName + suffix;
            for (TopologyDevice device : managedOf.at(of)) {
                device.ip = camera.ip;
                site.topology.append(device);
            }
        }
        site.cameras.append(camera);
    }
    return site;
}

} // namespace SiteGenerator
