import QtQuick

// What QML sends when it leaves trailing arguments out, what its handlers receive,
// and what the models hold when they run.
PluginTestCase {
    name: "Calls"

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

    function test_searchDevicesWithTypeAndFlagOnly() {
        verify(plugin.searchDevices(0, 7))
        const sent = host.lastCommand()
        verify(sent.relayPathIsNull, "relay path is a null text")
        compare(sent.parameters.maxRet, -1)
        compare(sent.parameters.searchType, 0)
        compare(["checkAuth", "onvifCombined", "unmanagedOnly"].filter(key => sent.parameters[key] === true).length, 3)
    }

    // Roles 272 to 274: manual, use-SSL, streaming protocol.
    function test_addDeviceWithFourArguments() {
        verify(plugin.addDevice("lobby", 3, "10.0.0.5", 8080))
        compare(host.lastCommand().command, "", "adding by hand asks the host nothing")
        const row = host.cameraRow(0)
        const expected = { hostNameRole: "lobby", typeRole: 3, ipRole: "10.0.0.5", portRole: 8080, modelRole: "",
                           brandRole: 0, brandNameRole: "qrln", macRole: "", urlRole: "", statusRole: 6,
                           272: true, 273: false, 274: "TCP" }
        for (const role in expected)
            compare(row[role], expected[role], role)
    }
}
