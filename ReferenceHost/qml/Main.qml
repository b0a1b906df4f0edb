import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

ApplicationWindow {
    id: window

    width: 1440
    height: 900
    visible: true
    title: qsTr("Device search – %1").arg(hostInfo.siteName)

    header: TabBar {
        id: tabs
        TabButton { text: qsTr("Cameras"); width: implicitWidth + 40 }
        TabButton { text: qsTr("Stations"); width: implicitWidth + 40 }
    }

    StackLayout {
        anchors.fill: parent
        currentIndex: tabs.currentIndex
        CameraPage { id: cameraPage }
        StationPage { id: stationPage }
    }

    footer: ToolBar {
        Label {
            anchors.fill: parent
            anchors.leftMargin: 10
            verticalAlignment: Text.AlignVCenter
            color: "#616161"
            elide: Text.ElideMiddle
            text: qsTr("Site: %1   ·   plug-in: %2").arg(hostInfo.siteName).arg(hostInfo.pluginFile)
        }
    }

    // ---- the headless scenario drives the screens through these ----

    function showPage(index) { tabs.currentIndex = index }

    function scenarioSearchCameras(flag) { showPage(0); return cameraPage.startSearch(false, flag) }
    function scenarioSortCameras(role, order) { cameraPage.sortBy(role, order) }
    function scenarioSelectCameras(ids) { cameraPage.selectedIds = ids }
    function scenarioOpenCredentials(ids, username, password) {
        cameraPage.openCredentials("authorize", ids, username, password)
    }
    function scenarioAcceptCredentials() { return cameraPage.acceptCredentials() }
    function scenarioAuthorize(ids, username, password) { return cameraPage.authorizeIds(ids, username, password) }
    function scenarioImport(url) { showPage(0); return cameraPage.importFile(url) }
    function scenarioAddImported() { return cameraPage.addImported() }
    function scenarioCloseDialogs() { cameraPage.closeDialogs() }
    function scenarioSearchStations(family) { showPage(1); return stationPage.startSearch(family) }
    function scenarioSortStations(role, order) { stationPage.sortBy(role, order) }
    function scenarioCameraState() {
        return { answers: cameraPage.searchAnswers, failed: cameraPage.failedAnswers, done: cameraPage.searchDone,
                 logins: cameraPage.loginAnswers, message: cameraPage.message }
    }
    function scenarioStationState() {
        return { answers: stationPage.searchAnswers, done: stationPage.searchDone, shown: stationPage.shownIds,
                 toAuthorize: stationPage.toAuthorize, message: stationPage.message }
    }
}
