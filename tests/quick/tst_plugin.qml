import QtQuick
import QtTest

// The plug-in as QML meets it: trailing arguments left out, handlers and the rows they
// see, and a ListView bound to each proxy. Every test gets a freshly loaded plug-in.
TestCase {
    id: testCase
    name: "Plugin"

    property QtObject plugin: null
    property var received: [] // one [signal, arguments...] entry per emission

    function init() {
        // Views of the previous test are destroyed later; let them go before their models do.
        wait(0)
        plugin = host.reset()
        verify(plugin, "the plug-in loads and initialises")
        received = []
    }

    Connections {
        target: plugin
        function onSearchDevicesResp(success, done) { received.push(["devices", success, done, cameras().rowCount()]) }
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
        host.answerLast({ reqUID: sent.parameters.reqUID, devList: [device("a", "10.0.0.1")] }, "0", false)
        host.answerLast({ reqUID: sent.parameters.reqUID, devList: [] }, "5", true)
        compare(received, [["devices", true, false, 1], ["devices", false, true, 1]])
    }

    Component {
        id: listComponent
        ListView { width: 200; height: 400; delegate: Item { property string ip: model.ipRole; height: 10 } }
    }

    function test_view_data() {
        return [
            { tag: "cameras: onvif with 80 somewhere, by IP descending", stations: false, brand: "onvif",
              filter: "80", sort: [259, Qt.DescendingOrder], shown: "192.168.1.5,10.0.0.9" },
            { tag: "stations: both words somewhere in the row, part by part", stations: true, filter: "lobby 10.0",
              sort: [260], shown: "10.0.0.9,10.0.0.10" },
        ]
    }

    function test_view(data) {
        const proxy = data.stations ? plugin.getSearchedStationSortFilterModel() : plugin.getCameraSortFilterModel()
        const view = createTemporaryObject(listComponent, testCase, { model: proxy })
        verify(data.stations ? plugin.searchStations() : plugin.searchDevices(0, 0))
        host.answerLast({ reqUID: host.lastCommand().parameters.reqUID, devList: [
            device("1", "10.0.0.10", 0, "Lobby Dome", 80), device("2", "10.0.0.9", 1, "Lobby Bullet", 8080),
            device("3", "192.168.1.5", 1, "PTZ", 80), device("4", "9.255.255.255", 2, "Box", 554)] })
        if (data.brand) proxy.setFilterBrand(data.brand)
        proxy.setFilterString(data.filter)
        proxy.sortByRole.apply(proxy, data.sort)
        view.forceLayout()
        compare(Array.from({ length: view.count }, (_, row) => view.itemAtIndex(row).ip).join(","), data.shown)
    }
}
