import QtQuick
import QtQuick.Controls
import QtQuick.Dialogs
import QtQuick.Layouts

// Reads a device list chosen by path (typed, or picked with Browse…) and shows what it
// holds that the client does not manage yet, with the warnings the plug-in raised while
// reading it. Accepting adds the devices not listed yet.
Dialog {
    id: dialog

    property url sampleFolder
    property url fileUrl
    readonly property string fileName: String(fileUrl).replace(/^.*\//, "")
    property var devices: []
    property int wrongFormat: 0
    property bool allExist: false
    readonly property int newCount: devices.filter(device => !device.listed).length

    signal readRequested(url fileUrl)

    // A typed path or a URL, as a URL.
    function urlOf(text) {
        if (/^[A-Za-z][A-Za-z0-9+.-]+:\/\//.test(text))
            return text
        return "file://" + (text.startsWith("/") ? "" : "/") + text
    }

    function read() {
        fileUrl = urlOf(pathField.text.trim())
        devices = []
        readRequested(fileUrl)
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
    height: Math.min(parent.height - 60, 600)
    modal: true
    Overlay.modal: Rectangle { color: "#55000000" }
    title: qsTr("Import a device list")

    onAboutToShow: {
        fileUrl = ""
        devices = []
        wrongFormat = 0
        allExist = false
        pathField.forceActiveFocus()
    }

    standardButtons: Dialog.Ok | Dialog.Close

    Component.onCompleted: {
        const add = standardButton(Dialog.Ok)
        add.objectName = "importAddButton"
        add.text = Qt.binding(() => newCount > 0 ? qsTr("Add %1 new device(s)").arg(newCount) : qsTr("Nothing to add"))
        add.enabled = Qt.binding(() => newCount > 0)
        standardButton(Dialog.Close).objectName = "importCloseButton"
    }

    FileDialog {
        id: fileDialog
        title: qsTr("Import a device list")
        currentFolder: dialog.sampleFolder
        nameFilters: [qsTr("Device lists (*.csv *.txt)"), qsTr("All files (*)")]
        onAccepted: {
            pathField.text = decodeURIComponent(String(selectedFile).replace(/^file:\/\/(\/(?=[A-Za-z]:))?/, ""))
            dialog.read()
        }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 8

        RowLayout {
            Layout.fillWidth: true
            spacing: 8
            TextField {
                id: pathField
                objectName: "importPathField"
                Layout.fillWidth: true
                placeholderText: qsTr("Path of a device list file")
                selectByMouse: true
                onAccepted: dialog.read()
            }
            Button { objectName: "importBrowseButton"; text: qsTr("Browse…"); onClicked: fileDialog.open() }
            Button {
                objectName: "importReadButton"
                text: qsTr("Read")
                enabled: pathField.text.trim().length > 0
                onClicked: dialog.read()
            }
        }

        Label {
            Layout.fillWidth: true
            visible: dialog.fileName !== ""
            wrapMode: Text.WordWrap
            text: qsTr("%1 device(s) of %2 are not managed by the client yet.").arg(dialog.devices.length)
                  .arg(dialog.fileName)
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
            border.color: Status.rule
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
                        color: Status.dimText
                        text: dialog.fileName === "" ? qsTr("Type the path of a device list, or browse for one.")
                                                     : qsTr("Nothing new in this file.")
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
                    // qmllint disable unqualified
                    delegate: Rectangle {
                        id: deviceRow
                        required property int index
                        required property var modelData
                        width: ListView.view.width
                        height: 28
                        color: index % 2 ? Status.oddRow : "white"
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
                                    color: index === 6 && deviceRow.modelData.listed ? Status.dimText : "black"
                                }
                            }
                        }
                    }
                    // qmllint enable unqualified
                }
            }
        }
    }
}
