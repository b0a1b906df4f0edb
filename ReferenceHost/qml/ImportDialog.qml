import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// What an import file holds that the client does not manage yet, with the warnings
// the plug-in raised while reading it. Accepting adds the devices not listed yet.
Dialog {
    id: dialog

    property url fileUrl
    property string fileName: String(fileUrl).replace(/^.*\//, "")
    property var devices: []
    property int wrongFormat: 0
    property bool allExist: false
    readonly property int newCount: {
        var count = 0
        for (var i = 0; i < devices.length; ++i)
            count += devices[i].listed ? 0 : 1
        return count
    }

    function reset(url) {
        fileUrl = url
        devices = []
        wrongFormat = 0
        allExist = false
    }

    readonly property var columns: [
        { title: qsTr("Brand"), width: 80 }, { title: qsTr("IP address"), width: 140 },
        { title: qsTr("Port"), width: 70 }, { title: qsTr("Model"), width: 160 },
        { title: qsTr("Host name"), width: 190 }, { title: qsTr("MAC address"), width: 150 },
        { title: qsTr("Note"), width: 146 }
    ]

    parent: Overlay.overlay
    anchors.centerIn: parent
    width: 960
    height: Math.min(parent.height - 60, 560)
    modal: true
    Overlay.modal: Rectangle { color: "#55000000" }
    title: qsTr("Import %1").arg(fileName)

    footer: DialogButtonBox {
        Button {
            text: dialog.newCount > 0 ? qsTr("Add %1 new device(s)").arg(dialog.newCount) : qsTr("Nothing to add")
            enabled: dialog.newCount > 0
            DialogButtonBox.buttonRole: DialogButtonBox.AcceptRole
        }
        Button { text: qsTr("Close"); DialogButtonBox.buttonRole: DialogButtonBox.RejectRole }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 8

        Label {
            Layout.fillWidth: true
            wrapMode: Text.WordWrap
            text: qsTr("%1 device(s) of the file are not managed by the client yet.").arg(dialog.devices.length)
        }
        Label {
            Layout.fillWidth: true
            visible: dialog.allExist
            wrapMode: Text.WordWrap
            color: "#8d6e00"
            font.bold: true
            text: qsTr("\u26A0 Every device of this file is already managed by the client.")
        }
        Label {
            Layout.fillWidth: true
            visible: dialog.wrongFormat > 0
            wrapMode: Text.WordWrap
            color: "#c62828"
            font.bold: true
            text: qsTr("\u26A0 %1 line(s) of the file have the wrong format and were skipped.").arg(dialog.wrongFormat)
        }

        Rectangle {
            Layout.fillWidth: true
            Layout.fillHeight: true
            border.color: "#c5ccd4"
            ColumnLayout {
                anchors.fill: parent
                anchors.margins: 1
                spacing: 0
                Row {
                    Repeater {
                        model: dialog.columns
                        HeaderCell { required property var modelData; width: modelData.width; title: modelData.title }
                    }
                }
                Item {
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    visible: dialog.devices.length === 0
                    Label {
                        anchors.centerIn: parent
                        color: "#616161"
                        text: qsTr("Nothing new in this file.")
                    }
                }
                ListView {
                    id: deviceList
                    visible: dialog.devices.length > 0
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    clip: true
                    model: dialog.devices
                    ScrollBar.vertical: ScrollBar {
                        policy: deviceList.visibleArea.heightRatio < 1 ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
                    }
                    delegate: Rectangle {
                        id: deviceRow
                        required property int index
                        required property var modelData
                        width: ListView.view.width
                        height: 28
                        color: index % 2 ? "#f6f8fa" : "white"
                        Row {
                            anchors.fill: parent
                            Repeater {
                                model: [deviceRow.modelData.brand, deviceRow.modelData.host, deviceRow.modelData.port,
                                        deviceRow.modelData.modelName, deviceRow.modelData.hostName,
                                        deviceRow.modelData.mac,
                                        deviceRow.modelData.listed ? qsTr("Already listed") : qsTr("New")]
                                Label {
                                    required property int index
                                    required property var modelData
                                    width: dialog.columns[index].width
                                    height: deviceRow.height
                                    leftPadding: 6
                                    verticalAlignment: Text.AlignVCenter
                                    elide: Text.ElideRight
                                    text: modelData
                                    color: index === 6 && deviceRow.modelData.listed ? "#616161" : "black"
                                }
                            }
                        }
                    }
                }
            }
        }
    }
}
