import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "Roles.js" as Roles

// Recording stations: search by QRLN model family, filter, sort, add and remove by
// hand, and the stations that still need credentials.
Page {
    id: page

    readonly property var proxy: deviceSearch.getSearchedStationSortFilterModel()
    readonly property var source: deviceSearch.getSearchedStationModel()

    property var selectedIds: []
    property bool searching: false
    property bool searchDone: false
    property int searchAnswers: 0
    property int sortRole: -1
    property int sortOrder: Qt.AscendingOrder
    property var shownIds: []
    property var toAuthorize: []
    property int sourceRows: 0
    property string message: qsTr("Press Search stations to look for recording stations.")

    readonly property var columns: [
        { title: "", role: -1, width: 38 },
        { title: qsTr("Status"), role: Roles.Station.status, width: 118 },
        { title: qsTr("IP address"), role: Roles.Station.ip, width: 128 },
        { title: qsTr("HTTP"), role: Roles.Station.port, width: 62 },
        { title: qsTr("HTTPS"), role: Roles.Station.httpsPort, width: 66 },
        { title: qsTr("MAC address"), role: Roles.Station.mac, width: 164 },
        { title: qsTr("Model"), role: Roles.Station.model, width: 132 },
        { title: qsTr("QRLN family"), role: Roles.Station.qrlnModel, width: 118 },
        { title: qsTr("Host name"), role: Roles.Station.hostName, width: 0 }
    ]
    function columnWidth(i, total) {
        if (columns[i].width > 0)
            return columns[i].width
        var used = 0
        for (var c = 0; c < columns.length; ++c)
            used += columns[c].width
        return Math.max(150, total - used)
    }

    // ---- operations (also used by the headless scenario) ----

    function startSearch(family) {
        familyField.text = family
        deviceSearch.setQRLNModelBrand(family)
        if (!deviceSearch.searchStations()) {
            message = qsTr("The server did not take the station search.")
            return false
        }
        selectedIds = []
        searching = true
        searchDone = false
        searchAnswers = 0
        message = family === "" ? qsTr("Searching for stations of every family…")
                                : qsTr("Searching for stations of the %1 family…").arg(family)
        return true
    }

    function sortBy(role, order) {
        sortRole = role
        sortOrder = order
        proxy.sortByRole(role, order)
        refreshLists()
    }

    function toggleSort(role) {
        sortBy(role, role === sortRole && sortOrder === Qt.AscendingOrder ? Qt.DescendingOrder : Qt.AscendingOrder)
    }

    function toggleSelected(id) {
        var ids = selectedIds.slice()
        var at = ids.indexOf(id)
        if (at >= 0)
            ids.splice(at, 1)
        else
            ids.push(id)
        selectedIds = ids
    }

    function removeSelected() {
        for (var i = 0; i < selectedIds.length; ++i)
            deviceSearch.removeRowInSearchedStationTableModel(selectedIds[i])
        message = qsTr("%1 station(s) removed from the list.").arg(selectedIds.length)
        selectedIds = []
    }

    function addStation(station) {
        deviceSearch.addStation(station)
        message = qsTr("Station %1 added by hand.").arg(station.IP)
    }

    function describe(id) {
        for (var row = 0; row < source.rowCount(); ++row) {
            var index = source.index(row, 0)
            if (source.data(index, Roles.Station.id) === id)
                return source.data(index, Roles.Station.ip) + "  " + source.data(index, Roles.Station.model)
        }
        return id
    }

    function refreshLists() {
        shownIds = deviceSearch.getAllIdInSearchedStationSortFilterModel()
        toAuthorize = deviceSearch.getStationsNeedToBeAuthorized()
        sourceRows = source.rowCount()
    }

    Connections {
        target: deviceSearch
        function onSearchStationsResp(success, done) {
            page.searchAnswers += 1
            if (!done)
                return
            page.searching = false
            page.searchDone = true
            if (page.sortRole >= 0)
                page.proxy.sortByRole(page.sortRole, page.sortOrder)
            page.refreshLists()
            page.message = success ? qsTr("Station search done: %1 station(s).").arg(page.source.rowCount())
                                   : qsTr("The server reported a failure for the station search.")
        }
    }

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
                    Layout.preferredWidth: 160
                    placeholderText: qsTr("any family")
                    selectByMouse: true
                    onAccepted: page.startSearch(text)
                }
                Button {
                    text: qsTr("Search stations")
                    highlighted: true
                    enabled: !page.searching
                    onClicked: page.startSearch(familyField.text)
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
                    text: qsTr("%1 shown of %2 · %3 selected").arg(page.shownIds.length).arg(page.sourceRows)
                          .arg(page.selectedIds.length)
                }
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
                        id: headerRow
                        Layout.fillWidth: true
                        Repeater {
                            model: page.columns.length
                            HeaderCell {
                                required property int index
                                width: page.columnWidth(index, headerRow.width)
                                title: page.columns[index].title
                                role: page.columns[index].role
                                sortRole: page.sortRole
                                sortOrder: page.sortOrder
                                onSortRequested: role => page.toggleSort(role)
                            }
                        }
                    }

                    // Whole rows only: a row cut in half at the bottom reads as a different value.
                    Item {
                        id: listArea
                        Layout.fillWidth: true
                        Layout.fillHeight: true
                        ListView {
                            id: list
                            width: listArea.width
                            height: Math.floor(listArea.height / 30) * 30
                            clip: true
                            model: page.proxy
                            boundsBehavior: Flickable.StopAtBounds
                            ScrollBar.vertical: ScrollBar {
                                policy: list.visibleArea.heightRatio < 1 ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
                            }

                            delegate: Rectangle {
                                id: rowItem
                                required property int index
                                required property var model
                                readonly property bool selected: page.selectedIds.indexOf(model.idRole) >= 0
                                width: ListView.view.width
                                height: 30
                                color: selected ? "#d6e6f7" : (index % 2 ? "#f6f8fa" : "white")

                                MouseArea {
                                    anchors.fill: parent
                                    onClicked: page.toggleSelected(rowItem.model.idRole)
                                }

                                Row {
                                    anchors.fill: parent
                                    CheckBox {
                                        width: page.columnWidth(0, list.width)
                                        height: parent.height
                                        padding: 0
                                        checked: rowItem.selected
                                        onToggled: page.toggleSelected(rowItem.model.idRole)
                                    }
                                    Item {
                                        width: page.columnWidth(1, list.width)
                                        height: parent.height
                                        Rectangle {
                                            id: dot
                                            x: 6
                                            anchors.verticalCenter: parent.verticalCenter
                                            width: 10; height: 10; radius: 5
                                            color: Roles.statusColor(rowItem.model.statusRole)
                                        }
                                        Label {
                                            anchors.left: dot.right
                                            anchors.leftMargin: 6
                                            anchors.right: parent.right
                                            anchors.verticalCenter: parent.verticalCenter
                                            text: Roles.statusName(rowItem.model.statusRole)
                                            color: Roles.statusColor(rowItem.model.statusRole)
                                            font.bold: true
                                            elide: Text.ElideRight
                                        }
                                    }
                                    Repeater {
                                        model: [rowItem.model.ipRole, String(rowItem.model.portRole),
                                                String(rowItem.model.httpsPortRole), rowItem.model.macRole,
                                                rowItem.model.modelRole, rowItem.model.qrlnModelRole,
                                                rowItem.model.hostNameRole]
                                        Label {
                                            required property int index
                                            required property var modelData
                                            width: page.columnWidth(index + 2, list.width)
                                            height: rowItem.height
                                            leftPadding: 6
                                            rightPadding: 4
                                            verticalAlignment: Text.AlignVCenter
                                            elide: Text.ElideRight
                                            text: modelData === undefined ? "" : modelData
                                        }
                                    }
                                }
                            }
                        }
                        Label {
                            anchors.centerIn: parent
                            visible: list.count === 0
                            color: "#616161"
                            text: page.sourceRows === 0 ? qsTr("No stations yet.")
                                                                : qsTr("No station matches the filter.")
                        }
                    }
                }
            }

            RowLayout {
                spacing: 8
                Button { text: qsTr("Add station…"); onClicked: addDialog.open() }
                Button {
                    text: qsTr("Remove selected")
                    enabled: page.selectedIds.length > 0
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
                    color: "#616161"
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
                    delegate: Label {
                        required property var modelData
                        width: ListView.view.width
                        topPadding: 3
                        bottomPadding: 3
                        elide: Text.ElideRight
                        text: page.describe(modelData)
                    }
                }
            }
        }
    }

    AddStationDialog {
        id: addDialog
        onStationGiven: station => page.addStation(station)
    }
}
