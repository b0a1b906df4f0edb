import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import ReferenceHost

// Cameras: search and refresh, brand and word filters, a table sorted by clicking its
// column titles, and the actions on the selected cameras.
Page {
    id: page

    required property var deviceSearch
    required property var hostInfo

    readonly property var proxy: deviceSearch.getCameraSortFilterModel()
    readonly property var source: deviceSearch.getCameraModel()

    property bool searching: false
    property int searchAnswers: 0
    property int failedAnswers: 0
    property bool searchDone: false
    property int loginAnswers: 0
    property string message: qsTr("Press Search to look for cameras on the site.")

    function searchFlag() {
        return (unmanagedBox.checked ? 1 : 0) | (checkAuthBox.checked ? 2 : 0) | (onvifBox.checked ? 4 : 0)
    }

    function startSearch(refresh) {
        const flag = searchFlag()
        const sent = refresh ? deviceSearch.refreshDevices(0, flag) : deviceSearch.searchDevices(0, flag)
        if (!sent) {
            message = qsTr("The server did not take the search.")
            return
        }
        if (!refresh)
            table.selectedIds = []
        searching = true
        searchDone = false
        searchAnswers = 0
        failedAnswers = 0
        message = refresh ? qsTr("Refreshing; cameras added by hand stay.") : qsTr("Searching…")
    }

    // A camera in words for the messages: its address, or its id when it has gone.
    function describe(id) {
        const ip = roster.value(id, "ipRole")
        return ip === undefined ? id : ip
    }

    function authorizeIds(ids, username, password) {
        const sent = ids.length === 1 ? deviceSearch.authorize(ids[0], username, password)
                                      : deviceSearch.authorizeList(ids, username, password)
        message = sent ? qsTr("Logging in to %1 camera(s) as %2…").arg(ids.length).arg(username)
                       : qsTr("None of the selected cameras can be logged in to (no address or port).")
    }

    function storeOffline(ids, username, password) {
        deviceSearch.setAuthorization(ids, username, password)
        message = qsTr("Credentials of %1 stored on %2 camera(s) without a login.").arg(username).arg(ids.length)
    }

    function openCredentials(mode) {
        credentialsDialog.mode = mode
        credentialsDialog.ids = table.selectedIds
        credentialsDialog.username = ""
        credentialsDialog.password = ""
        credentialsDialog.open()
    }

    function addDevice(hostName, ip, port, model, brand, mac, url,
                       useSSL, protocol) {
        // The short form leaves model, brand, MAC, URL, SSL and protocol to the plug-in's defaults.
        if (model === "" && brand === 0 && mac === "" && url === "" && !useSSL && protocol === "TCP")
            return deviceSearch.addDevice(hostName, 0, ip, port)
        return deviceSearch.addDevice(hostName, 0, ip, port, model, brand, mac, url, "", useSSL, protocol)
    }

    // Brand text of an import file (a name or a number) as addDevice takes it.
    // A file without a brand column gives the default brand; a name nobody knows, -1.
    function brandNumber(text) {
        const value = text.trim().toLowerCase()
        if (value === "" || value === "qrln")
            return 0
        if (value === "onvif")
            return 1
        if (value === "rtsp")
            return 2
        return /^-?[0-9]+$/.test(value) ? parseInt(value, 10) : -1
    }

    // Reads a device list and shows in the import dialog what the client does not manage yet.
    function importFile(url) {
        importWatcher.enabled = true
        importDialog.wrongFormat = 0
        importDialog.allExist = false
        const devices = deviceSearch.importDevices(url)
        importWatcher.enabled = false
        const rows = []
        const seen = {}
        for (let i = 0; i < devices.length; ++i) {
            const device = devices[i]
            const port = Number(device.port)
            const key = device.host + ":" + port
            rows.push({ brand: device.brand, host: device.host, port: device.port, modelName: device.modelName,
                        hostName: device.hostName, mac: device.mac,
                        listed: roster.hasAddress(device.host, port) || seen[key] === true })
            seen[key] = true
        }
        importDialog.devices = rows
        message = qsTr("%1 device(s) in %2 are not managed yet.").arg(devices.length).arg(importDialog.fileName)
    }

    // Adds the imported devices that are not listed yet.
    function addImported() {
        let added = 0
        for (const device of importDialog.devices) {
            if (device.listed)
                continue
            addDevice(device.hostName, device.host, Number(device.port), device.modelName,
                      brandNumber(String(device.brand)), device.mac, "", false, "TCP")
            ++added
        }
        message = qsTr("%1 imported device(s) added.").arg(added)
    }

    // The latest answer about one camera, put into words once per turn of the event
    // loop: a list of a hundred thousand answers lays the message out a few hundred
    // times, not once per answer.
    property string answerId
    property int answerStatus
    property bool answerOffline

    function tellAnswer(id, status, offline) {
        answerId = id
        answerStatus = status
        answerOffline = offline
        answerMessage.start()
    }

    Timer {
        id: answerMessage
        interval: 0
        onTriggered: page.message = page.answerOffline
                     ? qsTr("%1 is now %2 with stored credentials.").arg(page.describe(page.answerId))
                       .arg(Status.name(page.answerStatus))
                     : qsTr("Login answer for %1: %2").arg(page.describe(page.answerId))
                       .arg(Status.name(page.answerStatus))
    }

    DeviceRoster {
        id: roster
        objectName: "cameraRoster"
        model: page.source
    }

    // ---- plug-in signals ----

    Connections {
        target: page.deviceSearch
        function onSearchDevicesResp(success, done) {
            page.searchAnswers += 1
            if (!success)
                page.failedAnswers += 1
            if (!done)
                return
            page.searching = false
            page.searchDone = true
            table.resort()
            page.message = page.failedAnswers > 0
                    ? qsTr("Search done; the server reported a failure in %1 of %2 answers.")
                      .arg(page.failedAnswers).arg(page.searchAnswers)
                    : qsTr("Search done: %1 camera(s) in %2 answers.").arg(roster.count).arg(page.searchAnswers)
        }
        function onDeviceAuthorized(id, status) {
            page.loginAnswers += 1
            page.tellAnswer(id, status, false)
        }
        function onAddOfflineCamera(id, status) {
            page.tellAnswer(id, status, true)
        }
        function onAddDeviceResp(devID) {
            page.message = qsTr("Added %1 by hand.").arg(page.describe(devID))
        }
    }

    // Import warnings arrive while importDevices runs.
    Connections {
        id: importWatcher
        target: page.deviceSearch
        enabled: false
        function onDevicesExist() { importDialog.allExist = true }
        function onImportFileNotAllCorrect(numWrongFormat) { importDialog.wrongFormat = numWrongFormat }
    }

    // ---- screen ----

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 10
        spacing: 8

        RowLayout {
            spacing: 8
            Button {
                objectName: "searchButton"
                text: qsTr("Search")
                highlighted: true
                enabled: !page.searching
                onClicked: page.startSearch(false)
            }
            Button {
                objectName: "refreshButton"
                text: qsTr("Refresh")
                enabled: !page.searching
                onClicked: page.startSearch(true)
            }
            CheckBox { id: checkAuthBox; objectName: "checkAuthBox"; text: qsTr("Check authorization"); checked: true }
            CheckBox { id: unmanagedBox; objectName: "unmanagedBox"; text: qsTr("Unmanaged only"); checked: true }
            CheckBox { id: onvifBox; objectName: "onvifBox"; text: qsTr("Include ONVIF"); checked: true }
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
                objectName: "brandBox"
                Layout.preferredWidth: 150
                model: [qsTr("All brands"), "qrln", "onvif", "rtsp", "-1"]
                onActivated: page.proxy.setFilterBrand(currentIndex === 0 ? "" : currentText)
            }
            TextField {
                id: cameraFilterField
                objectName: "cameraFilterField"
                Layout.preferredWidth: 420
                placeholderText: qsTr("Filter: words in IP, MAC, port, model or brand")
                selectByMouse: true
                onTextChanged: filterDelay.restart()
            }
            // Filtering a large site takes a good part of a second: there it waits until
            // the typing pauses rather than running once per key.
            Timer {
                id: filterDelay
                interval: roster.count > 5000 ? 300 : 0
                onTriggered: page.proxy.setFilterString(cameraFilterField.text)
            }
            Label {
                Layout.fillWidth: true
                horizontalAlignment: Text.AlignRight
                text: qsTr("%1 shown of %2 · %3 selected").arg(table.count).arg(roster.count)
                      .arg(table.selectedIds.length)
            }
        }

        DeviceTable {
            id: table
            objectName: "cameraTable"
            Layout.fillWidth: true
            Layout.fillHeight: true
            model: page.proxy
            deviceRoster: roster
            emptyText: roster.count === 0 ? qsTr("No cameras yet.") : qsTr("No camera matches the filters.")
            // Cameras found by a search carry no host name: only those added by hand have one.
            columns: [
                { title: qsTr("Status"), role: "statusRole", width: 128, status: true },
                { title: qsTr("IP address"), role: "ipRole", width: 138 },
                { title: qsTr("MAC address"), role: "macRole", width: 172 },
                { title: qsTr("Port"), role: "portRole", width: 70 },
                { title: qsTr("Model"), role: "modelRole", width: 172 },
                { title: qsTr("Brand"), role: "brandNameRole", width: 84 },
                { title: qsTr("Host name (added by hand)"), role: "hostNameRole", width: 0 }
            ]
        }

        RowLayout {
            spacing: 8
            Button {
                objectName: "selectShownButton"
                text: qsTr("Select shown")
                onClicked: table.selectedIds = table.shownIds()
            }
            Button {
                objectName: "selectNotLoggedInButton"
                text: qsTr("Select not logged in")
                // Neither logged in nor still waiting for an answer.
                onClicked: table.selectedIds = table.shownIds([Status.checking, Status.authorized])
            }
            Button {
                objectName: "clearSelectionButton"
                text: qsTr("Clear selection")
                enabled: table.selectedIds.length > 0
                onClicked: table.selectedIds = []
            }
            ToolSeparator {}
            Button {
                objectName: "authorizeButton"
                text: qsTr("Authorize…")
                enabled: table.selectedIds.length > 0
                onClicked: page.openCredentials("authorize")
            }
            Button {
                objectName: "offlineButton"
                text: qsTr("Store credentials offline…")
                enabled: table.selectedIds.length > 0
                onClicked: page.openCredentials("offline")
            }
            ToolSeparator {}
            Button { objectName: "addDeviceButton"; text: qsTr("Add device…"); onClicked: addDialog.open() }
            Button { objectName: "importButton"; text: qsTr("Import…"); onClicked: importDialog.open() }
            Item { Layout.fillWidth: true }
        }

        RowLayout {
            spacing: 14
            // qmllint disable unqualified
            Repeater {
                model: Status.names
                Row {
                    id: countItem
                    required property int index
                    required property string modelData
                    spacing: 5
                    Rectangle {
                        anchors.verticalCenter: parent.verticalCenter
                        width: 10; height: 10; radius: 5
                        color: Status.color(countItem.index)
                    }
                    Label { text: countItem.modelData + " " + roster.counts[countItem.index] }
                }
            }
            // qmllint enable unqualified
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
        objectName: "credentialsDialog"
        credentials: page.hostInfo.credentials
        onCredentialsGiven: (mode, ids, username, password) => {
            if (mode === "offline")
                page.storeOffline(ids, username, password)
            else
                page.authorizeIds(ids, username, password)
        }
    }

    AddDeviceDialog {
        id: addDialog
        objectName: "addDeviceDialog"
        onDeviceGiven: (hostName, ip, port, model, brand, mac, url, useSSL, protocol) =>
                       page.addDevice(hostName, ip, port, model, brand, mac, url, useSSL, protocol)
    }

    ImportDialog {
        id: importDialog
        objectName: "importDialog"
        sampleFolder: page.hostInfo.sampleFolder
        onReadRequested: fileUrl => page.importFile(fileUrl)
        onAccepted: page.addImported()
    }
}
