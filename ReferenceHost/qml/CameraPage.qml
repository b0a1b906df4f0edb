import QtQuick
import QtQuick.Controls
import QtQuick.Dialogs
import QtQuick.Layouts
import "Roles.js" as Roles

// Cameras: search and refresh, brand and word filters, a table sorted by clicking its
// column titles, and the actions on the selected cameras.
Page {
    id: page

    readonly property var proxy: deviceSearch.getCameraSortFilterModel()
    readonly property var source: deviceSearch.getCameraModel()

    property var selectedIds: []
    property var statusCounts: [0, 0, 0, 0, 0, 0, 0]
    property int sourceRows: 0
    property bool searching: false
    property int searchAnswers: 0
    property int failedAnswers: 0
    property bool searchDone: false
    property int loginAnswers: 0
    property int sortRole: -1
    property int sortOrder: Qt.AscendingOrder
    property string message: qsTr("Press Search to look for cameras on the site.")
    property bool lastLoginSent: false

    // Column widths shared by the titles and the rows; the host name takes the rest.
    readonly property var columns: [
        { title: "", role: -1, width: 38 },
        { title: qsTr("Status"), role: Roles.Camera.status, width: 128 },
        { title: qsTr("IP address"), role: Roles.Camera.ip, width: 138 },
        { title: qsTr("MAC address"), role: Roles.Camera.mac, width: 172 },
        { title: qsTr("Port"), role: Roles.Camera.port, width: 70 },
        { title: qsTr("Model"), role: Roles.Camera.model, width: 172 },
        { title: qsTr("Brand"), role: Roles.Camera.brandName, width: 84 },
        { title: qsTr("Host name"), role: Roles.Camera.hostName, width: 0 }
    ]
    function columnWidth(i, total) {
        if (columns[i].width > 0)
            return columns[i].width
        var used = 0
        for (var c = 0; c < columns.length; ++c)
            used += columns[c].width
        return Math.max(160, total - used)
    }

    // ---- operations (also used by the headless scenario) ----

    function searchFlag() {
        return (unmanagedBox.checked ? 1 : 0) | (checkAuthBox.checked ? 2 : 0) | (onvifBox.checked ? 4 : 0)
    }

    function startSearch(refresh, flag) {
        unmanagedBox.checked = (flag & 1) !== 0
        checkAuthBox.checked = (flag & 2) !== 0
        onvifBox.checked = (flag & 4) !== 0
        var sent = refresh ? deviceSearch.refreshDevices(0, flag) : deviceSearch.searchDevices(0, flag)
        if (!sent) {
            message = qsTr("The server did not take the search.")
            return false
        }
        if (!refresh)
            selectedIds = []
        searching = true
        searchDone = false
        searchAnswers = 0
        failedAnswers = 0
        message = refresh ? qsTr("Refreshing; cameras added by hand stay.") : qsTr("Searching…")
        return true
    }

    function sortBy(role, order) {
        sortRole = role
        sortOrder = order
        proxy.sortByRole(role, order)
    }

    function toggleSort(role) {
        sortBy(role, role === sortRole && sortOrder === Qt.AscendingOrder ? Qt.DescendingOrder : Qt.AscendingOrder)
    }

    function rowOf(id) {
        for (var row = 0; row < source.rowCount(); ++row) {
            if (source.data(source.index(row, 0), Roles.Camera.id) === id)
                return row
        }
        return -1
    }

    function ipOf(id) {
        var row = rowOf(id)
        return row < 0 ? id : source.data(source.index(row, 0), Roles.Camera.ip)
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

    function selectShown() {
        var ids = []
        for (var row = 0; row < proxy.rowCount(); ++row)
            ids.push(proxy.data(proxy.index(row, 0), Roles.Camera.id))
        selectedIds = ids
    }

    function authorizeIds(ids, username, password) {
        var sent = ids.length === 1 ? deviceSearch.authorize(ids[0], username, password)
                                    : deviceSearch.authorizeList(ids, username, password)
        message = sent ? qsTr("Logging in to %1 camera(s) as %2…").arg(ids.length).arg(username)
                       : qsTr("None of the selected cameras can be logged in to (no address or port).")
        lastLoginSent = sent
        return sent
    }

    function storeOffline(ids, username, password) {
        var stored = deviceSearch.setAuthorization(ids, username, password)
        message = qsTr("Credentials of %1 stored on %2 camera(s) without a login.").arg(username).arg(ids.length)
        return stored
    }

    function openCredentials(mode, ids, username, password) {
        credentialsDialog.mode = mode
        credentialsDialog.ids = ids
        credentialsDialog.username = username
        credentialsDialog.password = password
        credentialsDialog.open()
    }

    function acceptCredentials() {
        credentialsDialog.accept()
        return lastLoginSent
    }

    function addDevice(hostName, ip, port, model, brand, mac, url, useSSL, protocol) {
        // The short form leaves model, brand, MAC, URL, SSL and protocol to the plug-in's defaults.
        if (model === "" && brand === 0 && mac === "" && url === "" && !useSSL && protocol === "TCP")
            return deviceSearch.addDevice(hostName, 0, ip, port)
        return deviceSearch.addDevice(hostName, 0, ip, port, model, brand, mac, url, "", useSSL, protocol)
    }

    // Imports a device list and shows what it holds; returns a summary for the caller.
    function importFile(url) {
        importDialog.reset(url)
        importWatcher.enabled = true
        var devices = deviceSearch.importDevices(url)
        importWatcher.enabled = false
        var rows = []
        var known = {}
        for (var i = 0; i < devices.length; ++i) {
            var device = devices[i]
            var key = device.host + ":" + Number(device.port)
            var listed = hasCameraAt(device.host, Number(device.port)) || known[key] === true
            known[key] = true
            rows.push({ brand: device.brand, host: device.host, port: device.port, modelName: device.modelName,
                        hostName: device.hostName, mac: device.mac, listed: listed })
        }
        importDialog.devices = rows
        importDialog.open()
        message = qsTr("%1 device(s) in %2 are not managed yet.").arg(devices.length).arg(importDialog.fileName)
        return { returned: devices.length, wrongFormat: importDialog.wrongFormat, allExist: importDialog.allExist,
                 devices: rows }
    }

    function hasCameraAt(ip, port) {
        for (var row = 0; row < source.rowCount(); ++row) {
            var index = source.index(row, 0)
            if (source.data(index, Roles.Camera.ip) === ip && source.data(index, Roles.Camera.port) === port)
                return true
        }
        return false
    }

    // Adds the imported devices that are not listed yet; returns how many.
    function addImported() {
        var added = 0
        for (var i = 0; i < importDialog.devices.length; ++i) {
            var device = importDialog.devices[i]
            if (device.listed)
                continue
            addDevice(device.hostName, device.host, Number(device.port), device.modelName,
                      Roles.brandNumber(device.brand), device.mac, "", false, "TCP")
            ++added
        }
        importDialog.close()
        message = qsTr("%1 imported device(s) added.").arg(added)
        return added
    }

    function closeDialogs() {
        credentialsDialog.close()
        addDialog.close()
        importDialog.close()
    }

    function recount() {
        var counts = [0, 0, 0, 0, 0, 0, 0]
        for (var row = 0; row < source.rowCount(); ++row) {
            var status = source.data(source.index(row, 0), Roles.Camera.status)
            if (status >= 0 && status < counts.length)
                ++counts[status]
        }
        statusCounts = counts
        sourceRows = source.rowCount()
    }

    // ---- plug-in signals ----

    Connections {
        target: deviceSearch
        function onSearchDevicesResp(success, done) {
            page.searchAnswers += 1
            if (!success)
                page.failedAnswers += 1
            if (!done)
                return
            page.searching = false
            page.searchDone = true
            if (page.sortRole >= 0)
                page.proxy.sortByRole(page.sortRole, page.sortOrder)
            page.message = page.failedAnswers > 0
                    ? qsTr("Search done; the server reported a failure in %1 of %2 answers.")
                      .arg(page.failedAnswers).arg(page.searchAnswers)
                    : qsTr("Search done: %1 camera(s) in %2 answers.").arg(page.source.rowCount())
                      .arg(page.searchAnswers)
        }
        function onDeviceAuthorized(id, status) {
            page.loginAnswers += 1
            page.message = qsTr("Login answer for %1: %2").arg(page.ipOf(id)).arg(Roles.statusName(status))
        }
        function onAddOfflineCamera(id, status) {
            page.message = qsTr("%1 is now %2 with stored credentials.").arg(page.ipOf(id)).arg(Roles.statusName(status))
        }
        function onAddDeviceResp(devID) {
            page.message = qsTr("Added %1 by hand.").arg(page.ipOf(devID))
        }
    }

    // Import warnings arrive while importDevices runs.
    Connections {
        id: importWatcher
        target: deviceSearch
        enabled: false
        function onDevicesExist() { importDialog.allExist = true }
        function onImportFileNotAllCorrect(numWrongFormat) { importDialog.wrongFormat = numWrongFormat }
    }

    Connections {
        target: page.source
        function onRowsInserted() { recountTimer.restart() }
        function onRowsRemoved() { recountTimer.restart() }
        function onModelReset() { recountTimer.restart() }
        function onDataChanged() { recountTimer.restart() }
    }

    Timer {
        id: recountTimer
        interval: 20
        onTriggered: page.recount()
    }

    // ---- screen ----

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 10
        spacing: 8

        RowLayout {
            spacing: 8
            Button {
                text: qsTr("Search")
                highlighted: true
                enabled: !page.searching
                onClicked: page.startSearch(false, page.searchFlag())
            }
            Button {
                text: qsTr("Refresh")
                enabled: !page.searching
                onClicked: page.startSearch(true, page.searchFlag())
            }
            CheckBox { id: checkAuthBox; text: qsTr("Check authorization"); checked: true }
            CheckBox { id: unmanagedBox; text: qsTr("Unmanaged only"); checked: true }
            CheckBox { id: onvifBox; text: qsTr("Include ONVIF"); checked: true }
            ProgressBar {
                Layout.preferredWidth: 160
                indeterminate: page.searching
                value: page.searchDone ? 1 : 0
            }
            Label {
                Layout.fillWidth: true
                elide: Text.ElideRight
                text: page.searching ? qsTr("%1 answer(s) so far…").arg(page.searchAnswers)
                                     : page.searchDone ? qsTr("Done") : ""
            }
        }

        RowLayout {
            spacing: 8
            Label { text: qsTr("Brand") }
            ComboBox {
                id: brandBox
                Layout.preferredWidth: 150
                model: [qsTr("All brands"), "qrln", "onvif", "rtsp", "-1"]
                onActivated: page.proxy.setFilterBrand(currentIndex === 0 ? "" : currentText)
            }
            TextField {
                id: filterField
                Layout.preferredWidth: 420
                placeholderText: qsTr("Filter: words in IP, MAC, port, model or brand")
                selectByMouse: true
                onTextChanged: page.proxy.setFilterString(text)
            }
            Label {
                Layout.fillWidth: true
                horizontalAlignment: Text.AlignRight
                text: qsTr("%1 shown of %2 · %3 selected").arg(list.count).arg(page.sourceRows)
                      .arg(page.selectedIds.length)
            }
        }

        Rectangle {
            Layout.fillWidth: true
            Layout.fillHeight: true
            border.color: "#c5ccd4"
            color: "white"

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
                                    model: [rowItem.model.ipRole, rowItem.model.macRole, String(rowItem.model.portRole),
                                            rowItem.model.modelRole, rowItem.model.brandNameRole, rowItem.model.hostNameRole]
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
                        text: page.sourceRows === 0 ? qsTr("No cameras yet.") : qsTr("No camera matches the filters.")
                    }
                }
            }
        }

        RowLayout {
            spacing: 8
            Button { text: qsTr("Select shown"); onClicked: page.selectShown() }
            Button { text: qsTr("Clear selection"); enabled: page.selectedIds.length > 0; onClicked: page.selectedIds = [] }
            ToolSeparator {}
            Button {
                text: qsTr("Authorize…")
                enabled: page.selectedIds.length > 0
                onClicked: page.openCredentials("authorize", page.selectedIds, "", "")
            }
            Button {
                text: qsTr("Store credentials offline…")
                enabled: page.selectedIds.length > 0
                onClicked: page.openCredentials("offline", page.selectedIds, "", "")
            }
            ToolSeparator {}
            Button { text: qsTr("Add device…"); onClicked: addDialog.open() }
            Button { text: qsTr("Import…"); onClicked: fileDialog.open() }
            Item { Layout.fillWidth: true }
        }

        RowLayout {
            spacing: 14
            Repeater {
                model: page.statusCounts.length
                Row {
                    required property int index
                    spacing: 5
                    Rectangle {
                        anchors.verticalCenter: parent.verticalCenter
                        width: 10; height: 10; radius: 5
                        color: Roles.statusColor(index)
                    }
                    Label { text: Roles.statusName(index) + " " + page.statusCounts[index] }
                }
            }
            Label {
                Layout.fillWidth: true
                horizontalAlignment: Text.AlignRight
                elide: Text.ElideLeft
                text: page.message
            }
        }
    }

    CredentialsDialog {
        id: credentialsDialog
        onCredentialsGiven: (mode, ids, username, password) => {
            if (mode === "offline")
                page.storeOffline(ids, username, password)
            else
                page.authorizeIds(ids, username, password)
        }
    }

    AddDeviceDialog {
        id: addDialog
        onDeviceGiven: (hostName, ip, port, model, brand, mac, url, useSSL, protocol) =>
                       page.addDevice(hostName, ip, port, model, brand, mac, url, useSSL, protocol)
    }

    ImportDialog {
        id: importDialog
        onAccepted: page.addImported()
    }

    FileDialog {
        id: fileDialog
        title: qsTr("Import a device list")
        currentFolder: hostInfo.sampleFolder
        nameFilters: [qsTr("Device lists (*.csv *.txt)"), qsTr("All files (*)")]
        onAccepted: page.importFile(selectedFile)
    }
}
