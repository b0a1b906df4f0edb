#pragma once

#include <QString>
#include <QVariant>

class QObject;
class QQuickItem;
class QQuickWindow;

// Works the screens the way a person does: presses the mouse on a control, types into
// the field that has the focus, presses Return. Controls are found by objectName
// anywhere in the window, dialogs included, and must be visible and enabled to be
// used. Every event goes to the window, as the windowing system would deliver it.
class ScreenDriver
{
public:
    explicit ScreenDriver(QQuickWindow* window);

    // Each returns false and sets error() when the control is missing, hidden or disabled.
    bool click(const QString& objectName);
    // Clicks into the field, selects what it holds and types text over it.
    bool type(const QString& objectName, const QString& text);
    bool pressReturn();
    // Clicks a check box until it shows the given state.
    bool setChecked(const QString& objectName, bool checked);

    // A property of any object of the screens, for reading what they show; an invalid
    // value when there is no such object. JavaScript values come back as variants.
    QVariant read(const QString& objectName, const char* property) const;

    QString error() const { return m_error; }

private:
    QObject* find(const QString& objectName) const;
    QQuickItem* usable(const QString& objectName);
    void key(int key, Qt::KeyboardModifiers modifiers, const QString& text);
    bool fail(const QString& why);

    QQuickWindow* m_window;
    QString m_error;
};
