import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// A recording station given by hand, as the keys of a search answer entry.
Dialog {
    id: dialog

    signal stationGiven(var station)

    parent: Overlay.overlay
    anchors.centerIn: parent
    width: 480
    modal: true
    Overlay.modal: Rectangle { color: "#55000000" }
    title: qsTr("Add a station")
    standardButtons: Dialog.Ok | Dialog.Cancel

    onAboutToShow: {
        ipField.text = ""; httpBox.value = 80; httpsBox.value = 443; modelField.text = ""
        familyField.text = ""; hostField.text = ""; macField.text = ""
        ipField.forceActiveFocus()
    }
    onAccepted: stationGiven({ IP: ipField.text, HttpPort: httpBox.value, HttpsPort: httpsBox.value,
                               Model: modelField.text, QRLNModel: familyField.text, HostName: hostField.text,
                               MAC: macField.text, Brand: 0, searchType: 24 })

    Component.onCompleted: standardButton(Dialog.Ok).enabled = Qt.binding(() => ipField.text.length > 0)

    GridLayout {
        anchors.fill: parent
        columns: 2
        columnSpacing: 10
        Label { text: qsTr("IP address") }
        TextField { id: ipField; Layout.fillWidth: true; selectByMouse: true }
        Label { text: qsTr("HTTP port") }
        SpinBox { id: httpBox; from: 0; to: 65535; value: 80; editable: true
                  textFromValue: (value) => String(value); valueFromText: (text) => parseInt(text, 10) }
        Label { text: qsTr("HTTPS port") }
        SpinBox { id: httpsBox; from: 0; to: 65535; value: 443; editable: true
                  textFromValue: (value) => String(value); valueFromText: (text) => parseInt(text, 10) }
        Label { text: qsTr("Model") }
        TextField { id: modelField; Layout.fillWidth: true; selectByMouse: true }
        Label { text: qsTr("QRLN model family") }
        TextField { id: familyField; Layout.fillWidth: true; selectByMouse: true }
        Label { text: qsTr("Host name") }
        TextField { id: hostField; Layout.fillWidth: true; selectByMouse: true }
        Label { text: qsTr("MAC address") }
        TextField { id: macField; Layout.fillWidth: true; selectByMouse: true }
    }
}
