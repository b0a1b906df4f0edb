#include "ScreenDriver.h"

#include <QCoreApplication>
#include <QJSValue>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSet>

ScreenDriver::ScreenDriver(QQuickWindow* window)
    : m_window(window)
{
}

bool ScreenDriver::click(const QString& objectName)
{
    QQuickItem* item = usable(objectName);
    if (!item)
        return false;
    const QPointF local = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
    const QPointF global = m_window->mapToGlobal(local.toPoint());
    QMouseEvent press(QEvent::MouseButtonPress, local, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m_window, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, local, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(m_window, &release);
    return true;
}

bool ScreenDriver::type(const QString& objectName, const QString& text)
{
    if (!click(objectName))
        return false;
    QQuickItem* field = usable(objectName);
    if (!field->hasActiveFocus())
        return fail(QStringLiteral("%1 took no focus from a click").arg(objectName));
    key(Qt::Key_A, Qt::ControlModifier, QString());
    for (const QChar c : text) {
        // Qt's key codes for printable ASCII are the upper-case characters themselves.
        const int code = c.unicode() < 0x80 ? c.toUpper().unicode() : int(Qt::Key_unknown);
        key(code, Qt::NoModifier, QString(c));
    }
    return true;
}

bool ScreenDriver::pressReturn()
{
    key(Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    return true;
}

bool ScreenDriver::setChecked(const QString& objectName, bool checked)
{
    if (read(objectName, "checked").toBool() != checked && !click(objectName))
        return false;
    if (read(objectName, "checked").toBool() != checked)
        return fail(QStringLiteral("%1 did not change its state when clicked").arg(objectName));
    return true;
}

QVariant ScreenDriver::read(const QString& objectName, const char* property) const
{
    const QObject* object = find(objectName);
    if (!object)
        return {};
    const QVariant value = object->property(property);
    if (value.metaType() == QMetaType::fromType<QJSValue>())
        return value.value<QJSValue>().toVariant();
    return value;
}

QObject* ScreenDriver::find(const QString& objectName) const
{
    // Controls of dialogs hang below the window's overlay as items, not as children of
    // the page that declares the dialog: walk both the object and the item trees.
    QList<QObject*> pending{m_window};
    QSet<QObject*> seen;
    while (!pending.isEmpty()) {
        QObject* object = pending.takeFirst();
        if (seen.contains(object))
            continue;
        seen.insert(object);
        if (object->objectName() == objectName)
            return object;
        pending += object->children();
        if (auto* item = qobject_cast<QQuickItem*>(object)) {
            for (QQuickItem* child : item->childItems())
                pending.append(child);
        }
        if (auto* window = qobject_cast<QQuickWindow*>(object))
            pending.append(window->contentItem());
    }
    return nullptr;
}

QQuickItem* ScreenDriver::usable(const QString& objectName)
{
    auto* item = qobject_cast<QQuickItem*>(find(objectName));
    if (!item) {
        fail(QStringLiteral("the screens show no %1").arg(objectName));
        return nullptr;
    }
    if (!item->isVisible() || item->width() <= 0 || item->height() <= 0) {
        fail(QStringLiteral("%1 is not visible").arg(objectName));
        return nullptr;
    }
    if (!item->isEnabled()) {
        fail(QStringLiteral("%1 is disabled").arg(objectName));
        return nullptr;
    }
    return item;
}

void ScreenDriver::key(int key, Qt::KeyboardModifiers modifiers, const QString& text)
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QCoreApplication::sendEvent(m_window, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QCoreApplication::sendEvent(m_window, &release);
}

bool ScreenDriver::fail(const QString& why)
{
    m_error = why;
    return false;
}
