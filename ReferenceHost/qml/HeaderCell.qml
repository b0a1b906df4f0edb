import QtQuick
import QtQuick.Controls

// A column title that sorts the table by its role when clicked; a second click on
// the sorted column turns the order round.
Rectangle {
    id: cell

    property string title
    property int role: -1
    property int sortRole: -1
    property int sortOrder: Qt.AscendingOrder

    signal sortRequested(int role)

    implicitHeight: 30
    color: mouse.containsMouse && role >= 0 ? "#dde3ea" : "#eceff3"

    Label {
        anchors.fill: parent
        anchors.leftMargin: 6
        anchors.rightMargin: 4
        verticalAlignment: Text.AlignVCenter
        font.bold: true
        elide: Text.ElideRight
        text: cell.title + (cell.role >= 0 && cell.role === cell.sortRole
                            ? (cell.sortOrder === Qt.AscendingOrder ? "  \u25B2" : "  \u25BC") : "")
    }

    Rectangle {
        anchors.right: parent.right
        width: 1
        height: parent.height
        color: "#c5ccd4"
    }

    MouseArea {
        id: mouse
        anchors.fill: parent
        hoverEnabled: true
        enabled: cell.role >= 0
        cursorShape: Qt.PointingHandCursor
        onClicked: cell.sortRequested(cell.role)
    }
}
