import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// A camera given by hand: address and port are needed, the rest is optional.
Dialog {
    id: dialog

    signal deviceGiven(string hostName, string ip, int port, string model, int brand, string mac, string url,
                       bool useSSL, string protocol)

    parent: Overlay.overlay
    anchors.centerIn: parent
    width: 500
    modal: true
    Overlay.modal: Rectangle { color: "#55000000" }
    title: qsTr("Add a device")
    standardButtons: Dialog.Ok | Dialog.Cancel

    onAboutToShow: {
        hostField.text = ""; ipField.text = ""; portBox.value = 80; modelField.text = ""
        brandBox.currentIndex = 0; macField.text = ""; urlField.text = ""; sslBox.checked = false
        protocolBox.currentIndex = 0
        ipField.forceActiveFocus()
    }
    onAccepted: deviceGiven(hostField.text, ipField.text, portBox.value, modelField.text, brandBox.currentIndex,
                            macField.text, urlField.text, sslBox.checked, protocolBox.currentText)

    Component.onCompleted: standardButton(Dialog.Ok).enabled = Qt.binding(() => ipField.text.length > 0)

    GridLayout {
        anchors.fill: parent
        columns: 2
        columnSpacing: 10
        Label { text: qsTr("IP address") }
        TextField { id: ipField; Layout.fillWidth: true; placeholderText: "10.20.1.50"; selectByMouse: true }
        Label { text: qsTr("Port") }
        SpinBox { id: portBox; from: 1; to: 65535; value: 80; editable: true
                  textFromValue: (value) => String(value); valueFromText: (text) => parseInt(text, 10) }
        Label { text: qsTr("Host name") }
        TextField { id: hostField; Layout.fillWidth: true; selectByMouse: true }
        Label { text: qsTr("Model") }
        TextField { id: modelField; Layout.fillWidth: true; selectByMouse: true }
        Label { text: qsTr("Brand") }
        ComboBox { id: brandBox; model: ["qrln", "onvif", "rtsp"] }
        Label { text: qsTr("MAC address") }
        TextField { id: macField; Layout.fillWidth: true; placeholderText: "001A2B3C4D5E"; selectByMouse: true }
        Label { text: qsTr("Stream URL") }
        TextField { id: urlField; Layout.fillWidth: true; placeholderText: "rtsp://…"; selectByMouse: true }
        Label { text: qsTr("Protocol") }
        RowLayout {
            ComboBox { id: protocolBox; model: ["TCP", "HTTPS"] }
            CheckBox { id: sslBox; text: qsTr("Use SSL") }
        }
    }
}
