import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

ApplicationWindow {
    id: window

    // Set by the host when it loads the screens: the plug-in object, and what the
    // host knows of the site (name, plug-in file, credentials, sample folder).
    required property var deviceSearch
    required property var hostInfo

    width: 1440
    height: 900
    visible: true
    title: qsTr("Device search – %1").arg(hostInfo.siteName)

    header: TabBar {
        id: tabs
        TabButton { objectName: "camerasTab"; text: qsTr("Cameras"); width: implicitWidth + 40 }
        TabButton { objectName: "stationsTab"; text: qsTr("Stations"); width: implicitWidth + 40 }
    }

    StackLayout {
        anchors.fill: parent
        currentIndex: tabs.currentIndex
        CameraPage {
            objectName: "cameraPage"
            deviceSearch: window.deviceSearch
            hostInfo: window.hostInfo
        }
        StationPage {
            objectName: "stationPage"
            deviceSearch: window.deviceSearch
        }
    }

    footer: ToolBar {
        Label {
            anchors.fill: parent
            anchors.leftMargin: 10
            verticalAlignment: Text.AlignVCenter
            color: Status.dimText
            elide: Text.ElideMiddle
            text: qsTr("Site: %1   ·   plug-in: %2").arg(window.hostInfo.siteName).arg(window.hostInfo.pluginFile)
        }
    }
}
