#include "Site.h"
#include "SiteGenerator.h"

#include <QSet>
#include <QTest>

#include <tuple>

namespace {

Site demoSite()
{
    Site site;
    QString error;
    if (!Site::load(QStringLiteral(DEMO_SITE), site, error))
        qFatal("cannot read the demo site: %s", qPrintable(error));
    return site;
}

} // namespace

class tst_SiteGenerator : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sizes_data()
    {
        QTest::addColumn<int>("cameras");
        QTest::newRow("fewer than the pattern") << 10;
        QTest::newRow("exactly the pattern") << 60;
        QTest::newRow("rounds of copies and a part") << 1234;
    }

    void sizes()
    {
        QFETCH(int, cameras);
        const Site pattern = demoSite();
        const Site site = SiteGenerator::generate(pattern, cameras);

        QCOMPARE(site.cameras.size(), cameras);
        QSet<QString> ids;
        QSet<QString> addresses;
        for (const SiteCamera& camera : site.cameras) {
            ids.insert(camera.id);
            addresses.insert(camera.ip);
        }
        QCOMPARE(ids.size(), cameras);
        QCOMPARE(addresses.size(), cameras);
        // The pattern's cameras come first, as they are.
        for (int i = 0; i < qMin(cameras, int(pattern.cameras.size())); ++i)
            QCOMPARE(site.cameras.at(i).id, pattern.cameras.at(i).id);
        QCOMPARE(site.credentials, pattern.credentials);
        QCOMPARE(site.stations.size(), pattern.stations.size());
        // The same count gives the same site.
        const Site again = SiteGenerator::generate(pattern, cameras);
        for (int i = 0; i < cameras; ++i) {
            QCOMPARE(again.cameras.at(i).id, site.cameras.at(i).id);
            QCOMPARE(again.cameras.at(i).ip, site.cameras.at(i).ip);
            QCOMPARE(again.cameras.at(i).mac, site.cameras.at(i).mac);
        }
    }

    // The first camera of the list that answers on an address and port.
    void lookUpsByAddress_data()
    {
        QTest::addColumn<QString>("ip");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("found");  // empty: none
        QTest::newRow("HTTP port") << "10.0.0.1" << 80 << "a";
        QTest::newRow("HTTPS port") << "10.0.0.1" << 443 << "a";
        QTest::newRow("second camera of an address") << "10.0.0.1" << 8080 << "b";
        QTest::newRow("port nobody answers on") << "10.0.0.1" << 81 << "";
        QTest::newRow("port 0") << "10.0.0.2" << 0 << "";
        QTest::newRow("unknown address") << "10.0.0.9" << 80 << "";
    }

    void lookUpsByAddress()
    {
        QFETCH(QString, ip);
        QFETCH(int, port);
        QFETCH(QString, found);
        Site site;
        for (const auto& [id, address, http, https] : {std::tuple{"a", "10.0.0.1", 80, 443}, {"b", "10.0.0.1", 8080, 8443},
                                                       {"c", "10.0.0.2", 0, 8443}}) {
            SiteCamera& camera = site.cameras.emplace_back();
            std::tie(camera.id, camera.ip, camera.httpPort, camera.httpsPort) = std::tuple(id, address, http, https);
        }
        const SiteCamera* answering = site.cameraAt(ip, port);
        QCOMPARE(answering ? answering->id : QString(), found);
    }

    // The topology's last entry of an address states the channels; every entry's
    // channels count.
    void managedInFullAcrossEntries()
    {
        Site site;
        site.topology.append({"10.0.0.1", "80", 4, {1, 2}});
        site.topology.append({"10.0.0.1", "80", 4, {3, 4}});
        site.topology.append({"10.0.0.2", "80", 2, {1}});
        site.topology.append({"10.0.0.3", "80", 3, {1, 2, 3}});
        site.topology.append({"10.0.0.3", "80", 4, {}});
        QVERIFY(site.isManagedInFull("10.0.0.1", "80"));
        QVERIFY(!site.isManagedInFull("10.0.0.1", "443"));
        QVERIFY(!site.isManagedInFull("10.0.0.2", "80"));
        QVERIFY(!site.isManagedInFull("10.0.0.3", "80"));
        QVERIFY(!site.isManagedInFull("10.0.0.9", "80"));
        // A topology filled after a look-up is read again.
        site.topology.append({"10.0.0.2", "80", 2, {2}});
        QVERIFY(site.isManagedInFull("10.0.0.2", "80"));
    }
};

QTEST_GUILESS_MAIN(tst_SiteGenerator)
#include "tst_site_generator.moc"
