#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

// What the reference host's scenario must report for a site, worked out from the
// site file and the device lists alone, by the documented rules of the site format:
// which cameras a search for unmanaged devices lists, what the detection with the
// default credentials gives, what each login pass with the site's credentials and
// each fault does, what an import file holds, and which stations are listed.
struct ScenarioExpectation
{
    // "search", "authorize.1", ..., "authorize", "import", "stations" -> "Checking=0 ... total=N"
    QMap<QString, QString> counts;
    // "import", "import-managed" -> "returned=7 new=4 wrongFormat=3 allExist=false"
    QMap<QString, QString> imports;
    // "4 of 4 shown"
    QString stationsToAuthorize;
};

// importCsv is the file the scenario imports and adds; managedCsv, when not empty,
// the second file it only imports. ipContains and maxResults are the site's search
// limits ("DEV_IP_CONTAINS", "MAX_SRCH_DEV_CNT"; -1: no limit), which every search obeys.
ScenarioExpectation expectScenario(const QByteArray& siteJson, const QString& importCsv,
                                   const QString& managedCsv, const QString& ipContains = QString(),
                                   int maxResults = -1);
