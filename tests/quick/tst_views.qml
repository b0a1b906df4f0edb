import QtQuick

// A ListView bound to each proxy shows the rows in the proxy's order after a filter
// or a sort that QML asked for, with QML's own default sort order.
PluginTestCase {
    id: testCase
    name: "Views"

    Component {
        id: listComponent
        ListView {
            width: 200
            height: 400
            delegate: Item {
                readonly property string ip: model.ipRole
                width: 200
                height: 10
            }
        }
    }

    // The IP addresses that the view's delegates show, top to bottom.
    function shown(view) {
        view.forceLayout()
        const ips = []
        for (let row = 0; row < view.count; ++row)
            ips.push(view.itemAtIndex(row).ip)
        return ips.join(",")
    }

    function device(ip, brand, model, port) {
        return { delID: ip, IP: ip, HttpPort: port, HttpsPort: 443, Brand: brand, HostName: model, Model: model,
                 MAC: "001122AABBCC", searchType: 0 }
    }

    // Role numbers as the screens pass them to sortByRole: camera and station IP.
    function test_view_data() {
        return [
            { tag: "cameras: role alone sorts ascending by number", stations: false, sort: [259],
              shown: "9.255.255.255,10.0.0.9,10.0.0.10,192.168.1.5" },
            { tag: "cameras: onvif with 80 somewhere, by IP descending", stations: false, brand: "onvif",
              filter: "80", sort: [259, Qt.DescendingOrder], shown: "192.168.1.5,10.0.0.9" },
            { tag: "stations: role alone sorts part by part", stations: true, sort: [260],
              shown: "9.255.255.255,10.0.0.9,10.0.0.10,192.168.1.5" },
            { tag: "stations: both words somewhere in the row", stations: true, filter: "lobby 10.0", sort: [260],
              shown: "10.0.0.9,10.0.0.10" },
        ]
    }

    function test_view(data) {
        const proxy = data.stations ? plugin.getSearchedStationSortFilterModel() : plugin.getCameraSortFilterModel()
        const view = createTemporaryObject(listComponent, testCase, { model: proxy })
        verify(data.stations ? plugin.searchStations() : plugin.searchDevices(0, 0))
        host.answerLast({ reqUID: host.lastCommand().parameters.reqUID, devList: [
            device("10.0.0.10", 0, "Lobby Dome", 80), device("10.0.0.9", 1, "Lobby Bullet", 8080),
            device("192.168.1.5", 1, "PTZ", 80), device("9.255.255.255", 2, "Box", 554)] })
        compare(shown(view), "10.0.0.10,10.0.0.9,192.168.1.5,9.255.255.255", "arrival order")
        if (data.brand !== undefined)
            proxy.setFilterBrand(data.brand)
        if (data.filter !== undefined)
            proxy.setFilterString(data.filter)
        proxy.sortByRole.apply(proxy, data.sort)
        compare(shown(view), data.shown)
    }
}
