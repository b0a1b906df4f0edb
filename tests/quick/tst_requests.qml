import QtQuick

// What QML itself sends: the arguments it leaves out and the types it converts.
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
        const sent = host.lastCommand()
        compare(sent.relayPathIsNull, data.relayPathIsNull)
        compare(sent.parameters.relayPath, data.relayPath)
        compare(sent.parameters.maxRet, data.maxRet)
        compare(sent.parameters.searchType, data.args[0])
        const flags = ["checkAuth", "onvifCombined", "unmanagedOnly"].filter(key => sent.parameters[key] === true)
        compare(flags, data.flags)
    }

    // Roles 272 to 274: manual, use-SSL, streaming protocol.
    function test_addDevice_data() {
        return [
            { tag: "four arguments take the defaults", args: ["lobby", 3, "10.0.0.5", 8080],
              row: { hostNameRole: "lobby", typeRole: 3, ipRole: "10.0.0.5", portRole: 8080, modelRole: "",
                     brandRole: 0, brandNameRole: "qrln", macRole: "", urlRole: "", statusRole: 6,
                     272: true, 273: false, 274: "TCP" } },
            { tag: "every argument", args: ["gate", 0, "10.0.0.6", 443, "Dome X", 1, "001122AABBCC",
                                           "rtsp://10.0.0.6/1", "relay/1", true, "HTTPS"],
              row: { modelRole: "Dome X", brandNameRole: "onvif", macRole: "00-11-22-AA-BB-CC",
                     urlRole: "rtsp://10.0.0.6/1", 272: true, 273: true, 274: "HTTPS" } },
        ]
    }

    function test_addDevice(data) {
        verify(plugin.addDevice.apply(plugin, data.args))
        compare(host.sentCount(), 0, "adding by hand asks the host nothing")
        const row = host.cameraRow(0)
        for (const role in data.row)
            compare(row[role], data.row[role], role)
    }
}
