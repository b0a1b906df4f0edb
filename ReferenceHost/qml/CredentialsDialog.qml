import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// Asks for a user name and a password for the selected cameras, either to log in
// ("authorize") or to store them on the cameras without a login ("offline").
Dialog {
    id: dialog

    property string mode: "authorize"
    property var ids: []
    property alias username: userField.text
    property alias password: passwordField.text
    property var credentials: []    // { username, password } the site's installer knows

    signal credentialsGiven(string mode, var ids, string username, string password)

    parent: Overlay.overlay
    anchors.centerIn: parent
    width: 480
    modal: true
    Overlay.modal: Rectangle { color: "#55000000" }
    title: mode === "offline" ? qsTr("Store credentials offline") : qsTr("Authorize cameras")

    standardButtons: Dialog.Ok | Dialog.Cancel

    Component.onCompleted: {
        const ok = standardButton(Dialog.Ok)
        ok.objectName = "credentialsOk"
        ok.enabled = Qt.binding(() => userField.text.length > 0)
        standardButton(Dialog.Cancel).objectName = "credentialsCancel"
    }

    onAccepted: credentialsGiven(mode, ids, username, password)

    ColumnLayout {
        anchors.fill: parent
        spacing: 10

        Label {
            Layout.fillWidth: true
            wrapMode: Text.WordWrap
            text: dialog.mode === "offline"
                  ? qsTr("Store these credentials on %1 camera(s) without logging in.").arg(dialog.ids.length)
                  : qsTr("Log in to %1 camera(s) with these credentials.").arg(dialog.ids.length)
        }

        GridLayout {
            columns: 2
            columnSpacing: 10
            Layout.fillWidth: true
            Label { text: qsTr("User name") }
            TextField { id: userField; objectName: "credentialsUser"; Layout.fillWidth: true; selectByMouse: true }
            Label { text: qsTr("Password") }
            TextField {
                id: passwordField
                objectName: "credentialsPassword"
                Layout.fillWidth: true
                echoMode: TextInput.Password
                selectByMouse: true
                onAccepted: if (userField.text.length > 0) dialog.accept()
            }
        }

        Label {
            visible: dialog.credentials.length > 0
            color: Status.dimText
            text: qsTr("Credentials known for this site:")
        }
        Flow {
            Layout.fillWidth: true
            spacing: 6
            // qmllint disable unqualified
            Repeater {
                model: dialog.credentials
                Button {
                    required property var modelData
                    flat: true
                    text: modelData.username + " / " + "\u2022".repeat(modelData.password.length)
                    onClicked: {
                        dialog.username = modelData.username
                        dialog.password = modelData.password
                    }
                }
            }
            // qmllint enable unqualified
        }
    }
}
