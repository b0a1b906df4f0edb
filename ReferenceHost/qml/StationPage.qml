import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import ReferenceHost

// Recording stations: search by QRLN model family, filter, sort, add and remove by
// hand, and the stations that still need credentials.
Page {
    id: page

    required property var deviceSearch

    readonly property var proxy: deviceSearch.getSearchedStationSortFilterModel()
    readonly property var source: deviceSearch.getSearchedStationModel()

    property bool searching: false
    property bool searchDone: false
    property int searchAnswers: 0
    property var shownIds: []
    property var toAuthorize: []
    property string message: qsTr("Press Search stations to look for recording stations.")

    function startSearch() {
        const family = familyField.text.trim()
        deviceSearch.setQRLNModelBrand(family)
        if (!deviceSearch.searchStations()) {
            message = qsTr("The server did not take the station search.")
            return
        }
        table.selectedIds = []
        searching = true
        searchDone = false
        searchAnswers = 0
        message = family === "" ? qsTr("Searching for stations of every family…")
                                : qsTr("Searching for stations of the %1 family…").arg(family)
    }

    function removeSelected() {
        for (const id of table.selectedIds)
            deviceSearch.removeRowInSearchedStationTableModel(id)
        message = qsTr("%1 station(s) removed from the list.").arg(table.selectedIds.length)
        table.selectedIds = []
    }

    function addStation(station) {
        deviceSearch.addStation(station)
        message = qsTr("Station %1 added by hand.").arg(station.IP)
    }

    function describe(id) {
        const ip = roster.value(id, "ipRole")
        return ip === undefined ? id : ip + "  " + roster.value(id, "modelRole")
    }

    function refreshLists() {
        shownIds = deviceSearch.getAllIdInSearchedStationSortFilterModel()
        toAuthorize = deviceSearch.getStationsNeedToBeAuthorized()
    }

    DeviceRoster {
        id: roster
        objectName: "stationRoster"
        model: page.source
    }

    Connections {
        target: page.deviceSearch
        function onSearchStationsResp(success, done) {
            page.searchAnswers += 1
            if (!done)
                return
            page.searching = false
            page.searchDone = true
            table.resort()
            page.refreshLists()
            page.message = success ? qsTr("Station search done: %1 station(s).").arg(roster.count)
                                   : qsTr("The server reported a failure for the station search.")
        }
    }

    // The lists come from the plug-in; ask again once a burst of changes is over.
    Connections {
        target: page.proxy
        function onRowsInserted() { listsTimer.restart() }
        function onRowsRemoved() { listsTimer.restart() }
        function onModelReset() { listsTimer.restart() }
        function onLayoutChanged() { listsTimer.restart() }
        function onDataChanged() { listsTimer.restart() }
    }

    Timer {
        id: listsTimer
        interval: 20
        onTriggered: page.refreshLists()
    }

    RowLayout {
        anchors.fill: parent
        anchors.margins: 10
        spacing: 10

        ColumnLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 8

            RowLayout {
                spacing: 8
                Label { text: qsTr("QRLN model family") }
                TextField {
                    id: familyField
                    objectName: "familyField"
                    Layout.preferredWidth: 160
                    placeholderText: qsTr("any family")
                    selectByMouse: true
                    onAccepted: if (!page.searching) page.startSearch()
                }
                Button {
                    objectName: "stationSearchButton"
                    text: qsTr("Search stations")
                    highlighted: true
                    enabled: !page.searching
                    onClicked: page.startSearch()
                }
                ProgressBar {
                    Layout.preferredWidth: 140
                    indeterminate: page.searching
                    value: page.searchDone ? 1 : 0
                }
                Label {
                    Layout.fillWidth: true
                    text: page.searching ? qsTr("%1 answer(s) so far…").arg(page.searchAnswers)
                                         : page.searchDone ? qsTr("Done") : ""
                }
            }

            RowLayout {
                spacing: 8
                TextField {
                    objectName: "stationFilterField"
                    Layout.preferredWidth: 420
                    placeholderText: qsTr("Filter: words in model, IP, ports or host name")
                    selectByMouse: true
                    onTextChanged: {
                        page.proxy.setFilterString(text)
                        page.refreshLists()
                    }
                }
                Label {
                    Layout.fillWidth: true
                    horizontalAlignment: Text.AlignRight
                    text: qsTr("%1 shown of %2 · %3 selected").arg(page.shownIds.length).arg(roster.count)
                          .arg(table.selectedIds.length)
                }
            }

            DeviceTable {
                id: table
                objectName: "stationTable"
                Layout.fillWidth: true
                Layout.fillHeight: true
                model: page.proxy
                deviceRoster: roster
                emptyText: roster.count === 0 ? qsTr("No stations yet.") : qsTr("No station matches the filter.")
                columns: [
                    { title: qsTr("Status"), role: "statusRole", width: 118, status: true },
                    { title: qsTr("IP address"), role: "ipRole", width: 128 },
                    { title: qsTr("HTTP"), role: "portRole", width: 62 },
                    { title: qsTr("HTTPS"), role: "httpsPortRole", width: 66 },
                    { title: qsTr("MAC address"), role: "macRole", width: 164 },
                    { title: qsTr("Model"), role: "modelRole", width: 132 },
                    { title: qsTr("QRLN family"), role: "qrlnModelRole", width: 118 },
                    { title: qsTr("Host name"), role: "hostNameRole", width: 0 }
                ]
            }

            RowLayout {
                spacing: 8
                Button { objectName: "addStationButton"; text: qsTr("Add station…"); onClicked: addDialog.open() }
                Button {
                    objectName: "removeStationsButton"
                    text: qsTr("Remove selected")
                    enabled: table.selectedIds.length > 0
                    onClicked: page.removeSelected()
                }
                Label {
                    Layout.fillWidth: true
                    horizontalAlignment: Text.AlignRight
                    elide: Text.ElideLeft
                    text: page.message
                }
            }
        }

        Frame {
            Layout.preferredWidth: 250
            Layout.fillHeight: true

            ColumnLayout {
                anchors.fill: parent
                spacing: 6
                Label {
                    font.bold: true
                    text: qsTr("Still to be authorized (%1)").arg(page.toAuthorize.length)
                }
                Label {
                    Layout.fillWidth: true
                    wrapMode: Text.WordWrap
                    color: Status.dimText
                    text: qsTr("Shown stations that have no credentials yet.")
                }
                ListView {
                    id: pendingList
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    clip: true
                    model: page.toAuthorize
                    ScrollBar.vertical: ScrollBar {
                        policy: pendingList.visibleArea.heightRatio < 1 ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
                    }
                    // qmllint disable unqualified
                    delegate: Label {
                        required property var modelData
                        width: ListView.view.width
                        topPadding: 3
                        bottomPadding: 3
                        elide: Text.ElideRight
                        text: page.describe(modelData)
                    }
                    // qmllint enable unqualified
                }
            }
        }
    }

    AddStationDialog {
        id: addDialog
        objectName: "addStationDialog"
        onStationGiven: station => page.addStation(station)
    }
}
