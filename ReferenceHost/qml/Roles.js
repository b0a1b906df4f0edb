.pragma library

// Role numbers of the plug-in's models, for sortByRole. The camera and station
// models number their roles differently.
var Camera = {
    id: 256, model: 257, mac: 258, ip: 259, port: 260, type: 261, status: 262,
    brandName: 266, hostName: 267, brand: 268
}

var Station = {
    id: 257, model: 258, mac: 259, ip: 260, port: 261, brand: 263, status: 265,
    hostName: 266, httpsPort: 267, qrlnModel: 269
}

// Device status as the plug-in reports it (an int in QML).
var statusNames = ["Checking", "Authorized", "Rejected", "Unreachable", "Failed", "Offline", "Not checked"]
var statusColors = ["#1f6fb2", "#2e7d32", "#c77800", "#6d4c9f", "#c62828", "#8d6e00", "#616161"]

function statusName(status) {
    return status >= 0 && status < statusNames.length ? statusNames[status] : "Status " + status
}

function statusColor(status) {
    return status >= 0 && status < statusColors.length ? statusColors[status] : "#000000"
}

// Brand text of an import file (a name or a number) as addDevice takes it.
// A file without a brand column gives the default brand; a name nobody knows, -1.
function brandNumber(text) {
    var value = String(text).trim().toLowerCase()
    if (value === "") return 0
    if (value === "qrln") return 0
    if (value === "onvif") return 1
    if (value === "rtsp") return 2
    return /^-?[0-9]+$/.test(value) ? parseInt(value, 10) : -1
}
