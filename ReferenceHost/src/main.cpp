#include "HostApplication.h"
#include "Scenario.h"

#include <QCommandLineParser>
#include <QDir>
#include <QGuiApplication>
#include <QQuickStyle>

#include <cstring>
#include <vector>

namespace {

bool hasArgument(int argc, char** argv, const char* name)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0)
            return true;
    }
    return false;
}

// QGuiApplication takes "-plugin NAME" (also written "--plugin") for its own generic
// plug-ins and removes it from the arguments, so the host must claim its --plugin
// before the application exists. Returns the remaining arguments.
std::vector<char*> takePluginArgument(int argc, char** argv, QString& pluginFile, bool& missingValue)
{
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (i > 0 && (std::strcmp(argv[i], "--plugin") == 0 || std::strcmp(argv[i], "-plugin") == 0)) {
            if (i + 1 < argc)
                pluginFile = QString::fromLocal8Bit(argv[++i]);
            else
                missingValue = true;
            continue;
        }
        if (i > 0 && std::strncmp(argv[i], "--plugin=", 9) == 0) {
            pluginFile = QString::fromLocal8Bit(argv[i] + 9);
            continue;
        }
        rest.push_back(argv[i]);
    }
    rest.push_back(nullptr);
    return rest;
}

} // namespace

int main(int argc, char** argv)
{
    QString pluginFile;
    bool pluginValueMissing = false;
    std::vector<char*> arguments = takePluginArgument(argc, argv, pluginFile, pluginValueMissing);
    argc = int(arguments.size()) - 1;
    argv = arguments.data();

    // The headless run needs no display; it must be chosen before the application exists.
    const bool headless = hasArgument(argc, argv, "--scenario");
    const bool helpOnly =
        hasArgument(argc, argv, "--help") || hasArgument(argc, argv, "-h") || hasArgument(argc, argv, "--help-all");
    if (helpOnly && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "minimal");
    if (headless) {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        if (!qEnvironmentVariableIsSet("QT_QUICK_BACKEND"))
            qputenv("QT_QUICK_BACKEND", "software");
    }

    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("reference-host"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Loads the device search plug-in, answers its commands from a simulated site and shows its screens."));
    parser.addHelpOption();
    const QCommandLineOption pluginOption(QStringLiteral("plugin"),
                                          QStringLiteral("Plug-in file to load (default: next to this program)."),
                                          QStringLiteral("FILE"));
    const QCommandLineOption siteOption(QStringLiteral("site"),
                                        QStringLiteral("Site file to simulate (default: the embedded demo site)."),
                                        QStringLiteral("FILE"));
    const QCommandLineOption siteCamerasOption(QStringLiteral("site-cameras"),
                                               QStringLiteral("Simulate a generated site of N cameras, made from "
                                                              "copies of the cameras of the site (default: the "
                                                              "demo site)."),
                                               QStringLiteral("N"));
    const QCommandLineOption scenarioOption(QStringLiteral("scenario"),
                                            QStringLiteral("Run the standard flow without a display, print the "
                                                           "tables and exit."));
    const QCommandLineOption importOption(QStringLiteral("import"),
                                          QStringLiteral("Device list the scenario imports (default: the embedded "
                                                         "sample)."),
                                          QStringLiteral("FILE"));
    const QCommandLineOption screenshotOption(QStringLiteral("screenshots"),
                                              QStringLiteral("Folder for the scenario's pictures of the screens "
                                                             "(default: screenshots)."),
                                              QStringLiteral("DIR"));
    const QCommandLineOption stepTimesOption(QStringLiteral("step-times"),
                                             QStringLiteral("With --scenario: print the time of each action "
                                                            "(click, typing, wait, picture, table) to stderr."));
    parser.addOptions({pluginOption, siteOption, siteCamerasOption, scenarioOption, importOption, screenshotOption,
                       stepTimesOption});
    parser.process(app);
    if (pluginValueMissing) {
        qCritical("reference-host: --plugin needs a file name");
        return 64;
    }

    if (!headless && (parser.isSet(importOption) || parser.isSet(screenshotOption) || parser.isSet(stepTimesOption))) {
        qCritical("reference-host: --import, --screenshots and --step-times belong to --scenario");
        return 64;
    }

    HostOptions options;
    if (parser.isSet(siteCamerasOption)) {
        bool isNumber = false;
        options.siteCameras = parser.value(siteCamerasOption).toInt(&isNumber);
        // A million cameras is far beyond any site; more would only exhaust the memory.
        if (!isNumber || options.siteCameras < 1 || options.siteCameras > 1000000) {
            qCritical("reference-host: --site-cameras needs a number of cameras from 1 to 1000000");
            return 64;
        }
    }
    options.pluginFile = !pluginFile.isEmpty()
        ? QDir::current().absoluteFilePath(pluginFile)
        : QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("libPluginDeviceSearch.so"));
    options.siteFile = parser.value(siteOption);

    if (qEnvironmentVariableIsEmpty("QT_QUICK_CONTROLS_STYLE"))
        QQuickStyle::setStyle(QStringLiteral("Fusion"));

    HostApplication host(options);
    QString error;
    if (!host.start(error)) {
        qCritical("reference-host: %s", qPrintable(error));
        return 2;
    }
    if (!headless)
        return QGuiApplication::exec();

    Scenario::Options scenarioOptions;
    scenarioOptions.importFile = parser.value(importOption);
    scenarioOptions.screenshotDir =
        parser.isSet(screenshotOption) ? parser.value(screenshotOption) : QStringLiteral("screenshots");
    scenarioOptions.stepTimes = parser.isSet(stepTimesOption);
    return Scenario(host, scenarioOptions).run();
}
