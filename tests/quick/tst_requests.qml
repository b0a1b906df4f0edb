import QtQuick

// What QML sends when it leaves the trailing arguments out.
PluginTestCase {
    name: "Requests"

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
