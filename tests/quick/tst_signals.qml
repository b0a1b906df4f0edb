import QtQuick

// What QML handlers receive, and what the models hold when they run.
PluginTestCase {
    name: "Signals"

    // What the handlers saw, one [signal, arguments...] entry per emission.
    property var received: []

    function record(entry) {
        received = received.concat([entry])
    }

    Connections {
        target: host
        function onPluginChanged() { received = [] }
    }

    Connections {
        target: plugin
        function onSearchDevicesResp(success, done) {
            record(["searchDevicesResp", success, done, plugin.getCameraModel().rowCount()])
        }
        function onSearchStationsResp(success, done) {
            record(["searchStationsResp", success, done, plugin.getSearchedStationModel().rowCount()])
        }
        function onDeviceAuthorized(id, status) { record(["deviceAuthorized", id, status, typeof status]) }
        function onAddOfflineCamera(id, status) { record(["addOfflineCamera", id, status, typeof status]) }
        function onAddDeviceResp(devID) { record(["addDeviceResp", devID]) }
        function onDevicesExist() { record(["devicesExist"]) }
        function onImportFileNotAllCorrect(numWrongFormat) { record(["importFileNotAllCorrect", numWrongFormat]) }
    }

    function camera(id, ip) {
        return { delID: id, IP: ip, HttpPort: 80, Brand: 0, MAC: "001122AABBCC", Model: "M1", searchType: 0 }
    }

    function answer(requestId, devices, code, done) {
        host.answerLast({ reqUID: requestId, devList: devices }, code || "0", done !== false)
    }

    function searchAndAnswer(devices) {
        verify(plugin.searchDevices(0, 0))
        answer(host.lastCommand().parameters.reqUID, devices)
        received = []
    }

    function test_searchAnswersReachHandlersWithRowsInPlace() {
        verify(plugin.searchDevices(0, 0))
        const deviceRequest = host.lastCommand().parameters.reqUID
        verify(plugin.searchStations())
        const stationRequest = host.lastCommand().parameters.reqUID
        received = []

        answer(deviceRequest, [camera("a", "10.0.0.1"), camera("b", "10.0.0.2")], "0", false)
        answer("{00000000-0000-0000-0000-000000000000}", [camera("c", "10.0.0.3")])
        answer(deviceRequest, [], "5", true)
        answer(stationRequest, [{ delID: "s", IP: "10.0.1.1", searchType: 24 }])

        compare(received, [["searchDevicesResp", true, false, 2],
                           ["searchDevicesResp", false, true, 2],
                           ["searchStationsResp", true, true, 1]])
    }

    function test_statusesArriveAsNumbers() {
        searchAndAnswer([camera("cam-1", "10.0.0.1"), camera("cam-2", "10.0.0.2")])
        verify(plugin.setAuthorization(["cam-2", "gone"], "admin", "secret"))
        verify(plugin.authorize("cam-1", "admin", "secret"))
        host.answerLast({ detRes: 1, Model: "M2", MAC: "001122AABBCD", Brand: 0, ChannelNum: 1 })
        compare(received, [["addOfflineCamera", "cam-2", 5, "number"], ["deviceAuthorized", "cam-1", 2, "number"]])
    }

    function test_addDeviceReportsTheNewRowId() {
        verify(plugin.addDevice("lobby", 0, "10.0.0.5", 80))
        compare(received, [["addDeviceResp", host.cameraRow(0).idRole]])
        verify(/^\{[0-9a-f-]{36}\}$/.test(received[0][1]), received[0][1])
    }

    function test_importReportsThroughSignals_data() {
        return [
            { tag: "every device already managed", lines: ["ip,port", "10.0.0.5,80"],
              devices: [], signals: [["devicesExist"]] },
            { tag: "wrong lines counted, new device returned",
              lines: ["ip,port", "10.0.0.5,80", "10.0.0.7,8080", "10.0.0.8,http", "broken"],
              devices: ["10.0.0.7:8080"], signals: [["importFileNotAllCorrect", 2]] },
        ]
    }

    function test_importReportsThroughSignals(data) {
        host.addManagedDevice("10.0.0.5", "80")
        const devices = plugin.importDevices(host.writeFile("devices.csv", data.lines))
        compare(devices.map(device => device.host + ":" + device.port), data.devices)
        compare(received, data.signals)
    }
}
