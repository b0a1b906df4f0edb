import QtQuick
import QtTest

// The plug-in as QML meets it: what it sends when QML leaves trailing arguments out,
// what the handlers receive and see in the models when they run, and what a ListView
// bound to each proxy shows. Every test starts with a freshly loaded plug-in object.
TestCase {
    id: testCase
    name: "Plugin"

    readonly property QtObject plugin: host.plugin
    // What the handlers saw, one [signal, arguments...] entry per emission.
    property var received: []

    function init() {
        // Views of the previous test are destroyed later; let them go before their models do.
        wait(0)
        verify(host.reset(), "the plug-in loads and initialises")
        received = []
    }

    Connections {
        target: plugin
        function onSearchDevicesResp(success, done) { received.push(["devices", success, done, cameras().rowCount()]) }
        function onSearchStationsResp(success, done) {
            received.push(["stations", success, done, plugin.getSearchedStationModel().rowCount()])
        }
        function onDeviceAuthorized(id, status) { received.push(["deviceAuthorized", id, status, typeof status]) }
        function onAddOfflineCamera(id, status) { received.push(["addOfflineCamera", id, status, typeof status]) }
        function onAddDeviceResp(devID) { received.push(["addDeviceResp", devID]) }
    }

    function cameras() { return plugin.getCameraModel() }

    function device(id, ip, brand, model, port) {
        return { delID: id, IP: ip, HttpPort: port, HttpsPort: 443, Brand: brand, Model: model, searchType: 0 }
    }

    function test_searchAnswersReachHandlersWithRowsInPlace() {
        verify(plugin.searchDevices(0, 0))
        const sent = host.lastCommand()
        verify(sent.relayPathIsNull, "relay path is a null text")
        compare(sent.parameters.maxRet, -1)
        const request = sent.parameters.reqUID
        verify(plugin.searchStations())
        const stationRequest = host.lastCommand().parameters.reqUID

        host.answerLast({ reqUID: request, devList: [device("a", "10.0.0.1"), device("b", "10.0.0.2")] }, "0", false)
        host.answerLast({ reqUID: "{00000000-0000-0000-0000-000000000000}", devList: [device("c", "10.0.0.3")] })
        host.answerLast({ reqUID: request, devList: [] }, "5", true)
        host.answerLast({ reqUID: stationRequest, devList: [device("s", "10.0.1.1")] })
        compare(received, [["devices", true, false, 2], ["devices", false, true, 2], ["stations", true, true, 1]])
    }

    function test_statusesArriveAsNumbers() {
        verify(plugin.searchDevices(0, 0))
        host.answerLast({ reqUID: host.lastCommand().parameters.reqUID,
                          devList: [device("cam-1", "10.0.0.1", 0, "M1", 80), device("cam-2", "10.0.0.2", 0, "M1", 80)] })
        received = []
        verify(plugin.setAuthorization(["cam-2", "gone"], "admin", "secret"))
        verify(plugin.authorize("cam-1", "admin", "secret"))
        host.answerLast({ detRes: 1, Model: "M2", MAC: "001122AABBCD", Brand: 0, ChannelNum: 1 })
        compare(received, [["addOfflineCamera", "cam-2", 5, "number"], ["deviceAuthorized", "cam-1", 2, "number"]])
    }

    // Model name, brand and its name, MAC, URL, status, manual, use-SSL and streaming
    // protocol: the defaults, or what follows from them.
    function test_addDeviceWithFourArguments() {
        verify(plugin.addDevice("lobby", 3, "10.0.0.5", 8080))
        compare(host.lastCommand().command, "", "adding by hand asks the host nothing")
        const expected = { 256: received[0][1], 257: "", 268: 0, 266: "qrln", 258: "", 269: "", 262: 6, 272: true,
                           273: false, 274: "TCP", 267: "lobby", 261: 3, 259: "10.0.0.5", 260: 8080 }
        for (const role in expected)
            compare(cameras().data(cameras().index(0, 0), Number(role)), expected[role], role)
        compare(received.map(entry => entry[0]), ["addDeviceResp"])
    }

    Component {
        id: listComponent
        ListView {
            width: 200; height: 400
            delegate: Item { readonly property string ip: model.ipRole; width: 200; height: 10 }
        }
    }

    // Role numbers as the screens pass them to sortByRole: camera and station IP.
    function test_view_data() {
        return [
            { tag: "cameras: role alone sorts ascending by number", stations: false, sort: [259],
              shown: "9.255.255.255,10.0.0.9,10.0.0.10,192.168.1.5" },
            { tag: "cameras: onvif with 80 somewhere, by IP descending", stations: false, brand: "onvif",
              filter: "80", sort: [259, Qt.DescendingOrder], shown: "192.168.1.5,10.0.0.9" },
            { tag: "stations: both words somewhere in the row, part by part", stations: true, filter: "lobby 10.0",
              sort: [260], shown: "10.0.0.9,10.0.0.10" },
        ]
    }

    function test_view(data) {
        const proxy = data.stations ? plugin.getSearchedStationSortFilterModel() : plugin.getCameraSortFilterModel()
        const view = createTemporaryObject(listComponent, testCase, { model: proxy })
        const shown = () => {
            view.forceLayout()
            return Array.from({ length: view.count }, (_, row) => view.itemAtIndex(row).ip).join(",")
        }
        verify(data.stations ? plugin.searchStations() : plugin.searchDevices(0, 0))
        host.answerLast({ reqUID: host.lastCommand().parameters.reqUID, devList: [
            device("1", "10.0.0.10", 0, "Lobby Dome", 80), device("2", "10.0.0.9", 1, "Lobby Bullet", 8080),
            device("3", "192.168.1.5", 1, "PTZ", 80), device("4", "9.255.255.255", 2, "Box", 554)] })
        compare(shown(), "10.0.0.10,10.0.0.9,192.168.1.5,9.255.255.255", "arrival order")
        if (data.brand !== undefined)
            proxy.setFilterBrand(data.brand)
        if (data.filter !== undefined)
            proxy.setFilterString(data.filter)
        proxy.sortByRole.apply(proxy, data.sort)
        compare(shown(), data.shown)
    }
}
