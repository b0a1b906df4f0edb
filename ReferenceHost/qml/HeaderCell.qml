import QtQuick
import QtQuick.Controls

// A column title. With a role it sorts the table when clicked; a second click on the
// sorted column turns the order round.
Rectangle {
    id: cell

    property string title
    property string role
    property bool sorted: false
    property int sortOrder: Qt.AscendingOrder

    signal clicked()

    implicitHeight: 30
    color: mouse.containsMouse && role !== "" ? "#dde3ea" : "#eceff3"

    Label {
        anchors.fill: parent
        anchors.leftMargin: 6
        anchors.rightMargin: 4
        verticalAlignment: Text.AlignVCenter
        font.bold: true
        elide: Text.ElideRight
        text: cell.title + (cell.sorted ? (cell.sortOrder === Qt.AscendingOrder ? "  \u25B2" : "  \u25BC") : "")
    }

    Rectangle {
        anchors.right: parent.right
        width: 1
        height: parent.height
        color: Status.rule
    }

    MouseArea {
        id: mouse
        anchors.fill: parent
        hoverEnabled: true
        enabled: cell.role !== ""
        cursorShape: Qt.PointingHandCursor
        onClicked: cell.clicked()
    }
}
