import QtQuick

PluginTestCase {
    name: "Requests"

    function test_searchDevicesSends_data() {
        return [
            { tag: "type and flag only: null relay path, no limit", args: [0, 0],
              relayPathIsNull: true, relayPath: "", maxRet: -1, flags: [] },
            { tag: "every argument given", args: [5, 7, "relay/7", 25],
              relayPathIsNull: false, relayPath: "relay/7", maxRet: 25,
              flags: ["checkAuth", "onvifCombined", "unmanagedOnly"] },
        ]
    }

    function test_searchDevicesSends(data) {
        verify(plugin.searchDevices.apply(plugin, data.args))
        compare(host.sentCount(), 1)
        const sent = host.lastCommand()
        compare(sent.command, "searchDevice")
        compare(sent.relayPathIsNull, data.relayPathIsNull)
        const parameters = sent.parameters
        compare(parameters.relayPath, data.relayPath)
        compare(parameters.maxRet, data.maxRet)
        compare(parameters.searchType, data.args[0])
        compare(parameters.devIpContains, "")
        verify(/^\{[0-9a-f-]{36}\}$/.test(parameters.reqUID), parameters.reqUID)
        const flags = ["checkAuth", "onvifCombined", "unmanagedOnly"].filter(key => parameters[key] === true)
        compare(flags, data.flags)
    }

    function test_addDeviceWithFourArgumentsTakesDefaults() {
        verify(plugin.addDevice("lobby", 3, "10.0.0.5", 8080))
        compare(host.sentCount(), 0, "adding by hand asks the host nothing")
        const row = host.cameraRow(0)
        compare(row.hostNameRole, "lobby")
        compare(row.typeRole, 3)
        compare(row.ipRole, "10.0.0.5")
        compare(row.portRole, 8080)
        compare(row.modelRole, "")
        compare(row.brandRole, 0)
        compare(row.brandNameRole, "qrln")
        compare(row.macRole, "")
        compare(row.urlRole, "")
        compare(row.useSSLRole, false)
        compare(row.streamingProtocolRole, "TCP")
        compare(row.statusRole, 6)
        compare(row.manualRole, true)
    }

    function test_addDeviceWithEveryArgument() {
        verify(plugin.addDevice("gate", 0, "10.0.0.6", 443, "Dome X", 1, "001122AABBCC",
                                "rtsp://10.0.0.6/1", "relay/1", true, "HTTPS"))
        const row = host.cameraRow(0)
        compare(row.modelRole, "Dome X")
        compare(row.brandNameRole, "onvif")
        compare(row.macRole, "00-11-22-AA-BB-CC")
        compare(row.urlRole, "rtsp://10.0.0.6/1")
        compare(row.useSSLRole, true)
        compare(row.streamingProtocolRole, "HTTPS")
    }
}
