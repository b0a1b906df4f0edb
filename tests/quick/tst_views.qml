import QtQuick

PluginTestCase {
    id: testCase
    name: "Views"

    // Role numbers as the screens pass them to sortByRole.
    readonly property int cameraModelRole: 257
    readonly property int cameraIpRole: 259
    readonly property int stationIpRole: 260
    readonly property int stationHostNameRole: 266

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
        for (let row = 0; row < view.count; ++row) {
            const delegate = view.itemAtIndex(row)
            verify(delegate, "delegate of row " + row)
            ips.push(delegate.ip)
        }
        return ips.join(",")
    }

    function applyView(proxy, data) {
        if (data.brand !== undefined)
            proxy.setFilterBrand(data.brand)
        if (data.filter !== undefined)
            proxy.setFilterString(data.filter)
        if (data.sort !== undefined)
            proxy.sortByRole.apply(proxy, data.sort)
    }

    function camera(id, ip, port, brand, model) {
        return { delID: id, IP: ip, HttpPort: port, HttpsPort: 443, Brand: brand, MAC: "001122AABBCC",
                 Model: model, searchType: 0 }
    }

    function test_cameraView_data() {
        return [
            { tag: "no filter or sort keeps arrival order",
              shown: "10.0.0.10,10.0.0.9,192.168.1.5,9.255.255.255" },
            { tag: "by IP with the role alone sorts ascending by number", sort: [cameraIpRole],
              shown: "9.255.255.255,10.0.0.9,10.0.0.10,192.168.1.5" },
            { tag: "onvif only, by IP descending", brand: "onvif", sort: [cameraIpRole, Qt.DescendingOrder],
              shown: "192.168.1.5,10.0.0.9" },
            { tag: "both words somewhere in the row, by model", filter: "10.0 80", sort: [cameraModelRole],
              shown: "10.0.0.9,10.0.0.10" },
            { tag: "word matches the brand name in any case", filter: "ONVIF", sort: [cameraModelRole],
              shown: "10.0.0.9,192.168.1.5" },
            { tag: "brand name is matched exactly", brand: "ONVIF", shown: "" },
        ]
    }

    function test_cameraView(data) {
        const proxy = plugin.getCameraSortFilterModel()
        const view = createTemporaryObject(listComponent, testCase, { model: proxy })
        verify(plugin.searchDevices(0, 0))
        host.answerSearch(host.lastCommand().parameters.reqUID, [
            camera("a", "10.0.0.10", 80, 0, "Dome"),
            camera("b", "10.0.0.9", 8080, 1, "Bullet"),
            camera("c", "192.168.1.5", 80, 1, "PTZ"),
            camera("d", "9.255.255.255", 554, 2, "Box"),
        ])
        applyView(proxy, data)
        compare(shown(view), data.shown)
    }

    function station(ip, port, hostName, model) {
        return { delID: hostName, IP: ip, HttpPort: port, HttpsPort: 443, HostName: hostName, Model: model,
                 Brand: 0, MAC: "001122AABBCC", QRLNModel: "NVR", searchType: 24 }
    }

    function test_stationView_data() {
        return [
            { tag: "by IP with the role alone sorts part by part", sort: [stationIpRole],
              shown: "10.0.0.2,10.0.0.10,192.168.1.9,192.168.1.10" },
            { tag: "by host name descending ignores case", sort: [stationHostNameRole, Qt.DescendingOrder],
              shown: "192.168.1.10,10.0.0.10,10.0.0.2,192.168.1.9" },
            { tag: "both words somewhere in the row, by IP", filter: "nvr 80", sort: [stationIpRole],
              shown: "10.0.0.2,192.168.1.10" },
            { tag: "host name word in any case", filter: "LOBBY", shown: "10.0.0.2" },
        ]
    }

    function test_stationView(data) {
        const proxy = plugin.getSearchedStationSortFilterModel()
        const view = createTemporaryObject(listComponent, testCase, { model: proxy })
        verify(plugin.searchStations())
        host.answerSearch(host.lastCommand().parameters.reqUID, [
            station("192.168.1.10", 80, "yard", "NVR-8"),
            station("10.0.0.2", 8080, "Lobby", "NVR-16"),
            station("10.0.0.10", 81, "office", "NVR-4"),
            station("192.168.1.9", 82, "dock", "NVR-32"),
        ])
        applyView(proxy, data)
        compare(shown(view), data.shown)
    }
}
