#include "HostApplication.h"

#include "ReferenceFrameworkWrapper.h"
#include "SimulatedServer.h"
#include "SiteGenerator.h"
#include "TopologyPlugin.h"

#include <PluginBase.h>

#include <QCoreApplication>
#include <QFile>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickWindow>
#include <QtQml/QQmlExtensionPlugin>

// The screens' QML module, linked in statically.
Q_IMPORT_QML_PLUGIN(ReferenceHostPlugin)

namespace {
const QString kEmbeddedSite = QStringLiteral(":/sites/demo.json");
const QString kSampleImport = QStringLiteral("import-sample.csv");
const QString kManagedImport = QStringLiteral("import-managed.csv");
} // namespace

HostApplication::HostApplication(HostOptions options)
    : m_options(std::move(options))
    , m_loader(m_options.pluginFile)
{
}

HostApplication::~HostApplication()
{
    // Screens first: they hold the plug-in's models. Then the plug-in, which still
    // may call the wrapper while it goes; the wrapper and the server last.
    m_engine.reset();
    // No event loop runs after this: objects the screens handed to deleteLater go now.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    delete m_pluginObject;
}

bool HostApplication::start(QString& error)
{
    if (!Site::load(m_options.siteFile.isEmpty() ? kEmbeddedSite : m_options.siteFile, m_site, error))
        return false;
    if (m_options.siteCameras > 0)
        m_site = SiteGenerator::generate(m_site, m_options.siteCameras);
    if (!extractSamples(error))
        return false;

    m_plugin = m_loader.load();
    if (!m_plugin) {
        error = m_loader.error();
        return false;
    }
    m_pluginObject = m_loader.instance();

    m_server = std::make_unique<SimulatedServer>(m_site);
    m_topology = std::make_unique<TopologyPlugin>(m_site);
    m_wrapper = std::make_unique<ReferenceFrameworkWrapper>(this, *m_server, *m_topology);
    m_server->setClient(m_pluginObject);

    m_engine = std::make_unique<QQmlApplicationEngine>();
    QQmlContext* context = m_engine->rootContext();
    if (!m_plugin->InitialPluginBase(context, this, m_wrapper.get())) {
        error = QStringLiteral("the plug-in %1 failed to initialise").arg(m_loader.fileName());
        return false;
    }

    QVariantList credentials;
    for (const SiteCredential& credential : std::as_const(m_site.credentials))
        credentials.append(QVariantMap{{QStringLiteral("username"), credential.username},
                                       {QStringLiteral("password"), credential.password}});
    const QVariantMap hostInfo{
        {QStringLiteral("siteName"), m_site.name},
        {QStringLiteral("pluginFile"), m_loader.fileName()},
        {QStringLiteral("credentials"), credentials},
        {QStringLiteral("sampleFolder"), QUrl::fromLocalFile(m_samples.path())},
    };
    // The plug-in object belongs to the host; QML must never collect it.
    QQmlEngine::setObjectOwnership(m_pluginObject, QQmlEngine::CppOwnership);
    m_engine->setInitialProperties({{QStringLiteral("deviceSearch"), QVariant::fromValue(m_pluginObject)},
                                    {QStringLiteral("hostInfo"), hostInfo}});
    // Where the module's files live in the program (Qt 6.5 and later look there anyway).
    m_engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
    m_engine->load(QUrl(QStringLiteral("qrc:/qt/qml/ReferenceHost/Main.qml")));
    if (!window()) {
        error = QStringLiteral("the screens failed to load (see the QML messages above)");
        return false;
    }
    return true;
}

QQuickWindow* HostApplication::window() const
{
    if (!m_engine || m_engine->rootObjects().isEmpty())
        return nullptr;
    return qobject_cast<QQuickWindow*>(m_engine->rootObjects().constFirst());
}

QUrl HostApplication::sampleImportFile() const
{
    return QUrl::fromLocalFile(m_samples.filePath(kSampleImport));
}

QUrl HostApplication::managedImportFile() const
{
    return QUrl::fromLocalFile(m_samples.filePath(kManagedImport));
}

bool HostApplication::extractSamples(QString& error)
{
    if (!m_samples.isValid()) {
        error = QStringLiteral("cannot make a folder for the sample files: %1").arg(m_samples.errorString());
        return false;
    }
    for (const QString& name : {kSampleImport, kManagedImport}) {
        const QString target = m_samples.filePath(name);
        if (!QFile::copy(QStringLiteral(":/sites/") + name, target)) {
            error = QStringLiteral("cannot write the sample file %1").arg(target);
            return false;
        }
        // Copies of resources come out read-only; the user may want to edit them.
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    }
    return true;
}
