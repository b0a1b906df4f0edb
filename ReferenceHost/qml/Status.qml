pragma Singleton
import QtQuick

// Device status as the plug-in reports it (an int), in words and colours, and the
// colours the screens share.
QtObject {
    readonly property var names: ["Checking", "Authorized", "Rejected", "Unreachable", "Failed", "Offline",
                                  "Not checked"]
    readonly property var colors: ["#1f6fb2", "#2e7d32", "#c77800", "#6d4c9f", "#c62828", "#8d6e00", "#616161"]

    readonly property color dimText: "#616161"
    readonly property color rule: "#c5ccd4"
    readonly property color selectedRow: "#d6e6f7"
    readonly property color oddRow: "#f6f8fa"

    readonly property int checking: 0
    readonly property int authorized: 1

    function known(status) {
        return typeof status === "number" && status >= 0 && status < names.length
    }

    function name(status) {
        return known(status) ? names[status] : "Status " + status
    }

    function color(status) {
        return known(status) ? colors[status] : "#000000"
    }
}
